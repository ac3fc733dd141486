// "Listar" against a real device at a typed port, behind lighttpd's digest, locking after
// three wrong passwords: never locked by us, a lock told, its clock read.
#include "apoyo/espacio_red.h"
#include "apoyo/grabador_falso.h"
#include "apoyo/guion_camaras.h"
#include "camaras/listado_equipo.h"
#include "grabadores/http.h"
#include <gtest/gtest.h>

TEST(ListadoEquipo, ClavesMalasNoBloqueanLaCuenta)
{
    if (!puedeCrearEspacios())
        GTEST_SKIP() << "hace falta ser root para crear espacios de red";
    EspacioRed red(43, 29);
    GrabadorFalso g({red.ipServidor, 81, red.servidor, "admin", "buena", {"hikvision"}, {}});
    ASSERT_TRUE(red.listo() && g.listo()) << red.error().toStdString() << g.error().toStdString();
    g.reloj(192, 480);
    g.hikvision({{"2024-03-05T14:07:09Z", "2024-03-05T14:08:00Z", "rtsp://x/?size=5", "clip.mp4"}});
    const OrigenPtr o = equipoGuion(red.ipServidor, "rtsp", {81, 554});  // typed :81; all families tried
    ListadoEquipo r;
    const auto listar = [&] { enEspacio(red.cliente, [&] { r = listarEquipo(operacionesReales(), o, "Todo", "rtsp", {}); }); };
    // One failure per wrong password, across identification and all families; none for a repeat.
    const std::tuple<const char*, int, qsizetype> pasos[] = {{"mala", 1, 0}, {"mala", 1, 0}, {"otra", 2, 0}, {"buena", 2, 1}};
    for (const auto& [clave, fallos, ficheros] : pasos) {
        o->clave = clave;
        listar();
        EXPECT_EQ(std::tuple(g.fallos(), r.rechazo.has_value(), r.listado.ficheros.size()),
                  std::tuple(fallos, ficheros == 0, ficheros)) << clave;
    }
    EXPECT_NEAR(double(r.listado.desfaseReloj.value_or(0)), 192000, 1500);
    // Someone else's third wrong try locks it: the right password hears why and the wait.
    enEspacio(red.cliente, [&] { Http::peticion("http://" + red.ipServidor + ":81/", "admin", "x"); });
    listar();
    EXPECT_EQ(lineaSinGrabaciones(r), "Cuenta bloqueada por el equipo tras varios intentos fallidos; se desbloquea dentro "
                                      "de 30 min. No se ha probado nada más: los grabadores bloquean la cuenta tras pocos intentos fallidos.");
}

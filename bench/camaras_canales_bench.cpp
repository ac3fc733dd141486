// A 16-channel NVR (the Hikvision fake behind lighttpd inside a test namespace) with 500
// recordings a channel over the last 7 days, listed through the cameras window with one
// request to the device at a time and with two: how long the listing takes, the rows
// shown, and the longest stall of the window's event loop meanwhile (goal: under 50 ms).
#include "apoyo/espacio_red.h"
#include "apoyo/grabador_falso.h"
#include "camaras/operaciones.h"
#include "ventana_bench.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    EspacioRed red(44, 29);
    OpcionesGrabador o;
    o.espacio = red.servidor;
    o.direccion = red.ipServidor;
    o.familias = {QStringLiteral("hikvision")};
    GrabadorFalso nvr(o);
    if (!red.listo() || !nvr.listo()) {
        std::fprintf(stderr, "%s%s\n", qPrintable(red.error()), qPrintable(nvr.error()));
        return 1;
    }
    constexpr int CANALES = 16, POR_CANAL = 500;
    QList<Canal> canales;
    QList<ItemHikvision> items;
    const QDateTime ahora = QDateTime::currentDateTimeUtc();
    for (int c = 1; c <= CANALES; ++c) {
        canales << Canal{c, QStringLiteral("Cámara %1").arg(c)};
        for (int i = 0; i < POR_CANAL; ++i) {
            const QDateTime t = ahora.addSecs(-qint64(i + 1) * 7 * 86400 / (POR_CANAL + 1) - c);
            const auto iso = [](const QDateTime& d) { return d.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ")); };
            items << ItemHikvision{iso(t), iso(t.addSecs(600)),
                                   QStringLiteral("rtsp://%1/Streaming/tracks/%2/?starttime=%3&amp;size=%4")
                                       .arg(red.ipServidor).arg(c * 100 + 1).arg(t.toSecsSinceEpoch()).arg(1048576 + i),
                                   {}, c};
        }
    }
    nvr.hikvision(items, canales);
    // Every thread the window starts from here on talks from inside the client namespace.
    if (!entrarEnEspacio(red.cliente))
        return 1;

    auto equipo = std::make_shared<Origen>(QStringLiteral("red"), red.ipServidor, red.ipServidor, QStringLiteral("NVR"));
    equipo->ip = red.ipServidor;
    equipo->puertos = {80};
    equipo->familia = QStringLiteral("hikvision");
    Operaciones ops = operacionesReales();
    ops.detectarFamilia = [](const Origen&) { return std::pair{QStringLiteral("hikvision"), QString()}; };
    QTemporaryDir dir;
    Camaras c(dir.path(), QStringLiteral("banco"), QStringLiteral("/usr/bin/ffmpeg"), std::move(ops));
    c.terminar = [](int, const QString&) {};
    c.ventana->mostrarDelante();
    c.mostrarOrigen(equipo);
    c.tP->setText(QStringLiteral("buena"));
    bool bien = true;
    for (int simultaneas : {1, 2, 1, 2}) {
        c.simultaneas = simultaneas;
        Vigia vigia;
        QElapsedTimer t;
        t.start();
        const double cpu = cpuProceso();
        c.listarRed();
        esperarVentana(c);
        const double s = t.elapsed() / 1000.0;
        std::printf("%d canales x %d grabaciones, %d %s a la vez: listado en %.2f s (CPU del proceso %.2f s), "
                    "%lld filas; parón más largo del bucle de eventos %s (objetivo < 50 ms); carga %s\n",
                    CANALES, POR_CANAL, simultaneas, simultaneas == 1 ? "petición" : "peticiones", s, cpuProceso() - cpu,
                    qlonglong(c.ficheros.size()), qPrintable(vigia.tomar()), qPrintable(cargaMedia()));
        bien = bien && c.ficheros.size() == CANALES * POR_CANAL;
    }
    return bien ? 0 : 1;
}

// What the updater reads from the server and from a package, taken on its own: the
// listing tar prints, the signed manifest, latest.json.
#include "actualizador/actualizador.h"

#include "apoyo/impresion.h"

#include <gtest/gtest.h>

namespace {

struct CasoListado {
    const char* nombre;
    const char* listado;
    bool seguro;
};

const CasoListado kListados[] = {
    {"carpeta y archivo", "drwxr-xr-x 0/0 0 2024-03-05 14:07 \"ZorvPlayer/\"\n"
                          "-rwxr-xr-x 0/0 9 2024-03-05 14:07 \"ZorvPlayer/AppRun\"\n", true},
    {"escapes de tar", "-rw-r--r-- 0/0 5 2024-03-05 14:07 \"ZorvPlayer/a\\303\\261o \\\"x\\\"\"\n", true},
    {"enlace hacia dentro", "lrwxrwxrwx 0/0 0 2024-03-05 14:07 \"ZorvPlayer/l\" -> \"lib/x.so\"\n", true},
    {"vacío", "", false},
    {"fuera de la carpeta", "-rw-r--r-- 0/0 5 2024-03-05 14:07 \"ZorvPlayer/../x\"\n", false},
    {"otra carpeta", "-rw-r--r-- 0/0 5 2024-03-05 14:07 \"Otro/x\"\n", false},
    {"enlace absoluto", "lrwxrwxrwx 0/0 0 2024-03-05 14:07 \"ZorvPlayer/l\" -> \"/etc/passwd\"\n", false},
    {"enlace que sube", "lrwxrwxrwx 0/0 0 2024-03-05 14:07 \"ZorvPlayer/l\" -> \"../../x\"\n", false},
    {"enlace duro fuera", "hrw-r--r-- 0/0 0 2024-03-05 14:07 \"ZorvPlayer/h\" link to \"etc/x\"\n", false},
    {"dispositivo", "crw-r--r-- 0/0 1,3 2024-03-05 14:07 \"ZorvPlayer/null\"\n", false},
    // A line whose name is not quoted must be refused without reading before the line.
    {"nombre sin comillas", "-rw-r--r-- 0/0 5 2024-03-05 14:07 ZorvPlayer/a\n", false},
    {"enlace sin destino", "lrwxrwxrwx 0/0 0 2024-03-05 14:07 \"ZorvPlayer/l\" -> x\n", false},
    {"comillas sin cerrar", "-rw-r--r-- 0/0 5 2024-03-05 14:07 \"ZorvPlayer/a\\\n", false},
};

TEST(Lecturas, ListadoDelPaquete)
{
    for (const CasoListado& c : kListados)
        EXPECT_EQ(listadoSeguro(QString::fromUtf8(c.listado)), c.seguro) << c.nombre;
}

struct CasoPublicacion {
    const char* nombre;
    const char* cuerpo;
    bool leida;
    bool completa;
};

const CasoPublicacion kPublicaciones[] = {
    {"completa", R"({"version":"2.1.0","notas":"n","linux":{"url":"u","sha256":"s","sig":"f"}})",
     true, true},
    {"sin firma", R"({"version":"2.1.0","linux":{"url":"u","sha256":"s"}})", true, false},
    {"firma no es texto", R"({"version":"2.1.0","linux":{"url":"u","sha256":"s","sig":5}})",
     true, false},
    {"entrada de otra plataforma", R"({"version":"2","mac":{"url":"u","sha256":"s","sig":"f"}})",
     true, false},
    {"linux no es objeto", R"({"version":"2","linux":["u","s","f"]})", true, false},
    {"versión numérica", R"({"version":2})", false, false},
    {"versión que sube", R"({"version":"../../x"})", false, false},
    {"versión con barra", R"({"version":"2/x"})", false, false},
    {"versión vacía", R"({"version":""})", false, false},
    {"lista", R"([{"version":"2"}])", false, false},
    {"roto", R"({"version":"2")", false, false},
    {"vacío", "", false, false},
};

TEST(Lecturas, PublicacionDelServidor)
{
    for (const CasoPublicacion& c : kPublicaciones) {
        const std::optional<Publicacion> p = leerPublicacion(QByteArray(c.cuerpo));
        ASSERT_EQ(p.has_value(), c.leida) << c.nombre;
        if (p) {
            EXPECT_EQ(p->completa, c.completa) << c.nombre;
        }
    }
    const auto p = leerPublicacion(
        R"({"version":"2.1.0","notas":7,"linux":{"url":"u","sha256":"AB","sig":"cd"}})");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->version, QStringLiteral("2.1.0"));
    EXPECT_TRUE(p->notas.isEmpty());
    EXPECT_EQ(p->url, QStringLiteral("u"));
    EXPECT_EQ(p->sha256, QStringLiteral("AB"));
    EXPECT_EQ(p->sig, QStringLiteral("cd"));
}

TEST(Lecturas, LineasDelManifiesto)
{
    const QByteArray h(64, 'a');
    const QByteArray equipo = "TeamIdentifier=Q7X2KM4ZRT\n";
    const auto bien = leerManifiesto(h + "  AppRun\n" + h + "  usr/a b\n\n" + equipo);
    ASSERT_TRUE(bien);
    EXPECT_EQ(bien->size(), 2);
    EXPECT_EQ(bien->value(QStringLiteral("usr/a b")), QString::fromLatin1(h));

    const QByteArray malos[] = {
        h + "  AppRun\n",                              // no team line
        h + "  AppRun\n" + h + "  AppRun\n" + equipo,  // a path listed twice
        QByteArray(64, 'A') + "  AppRun\n" + equipo,    // upper-case digest
        QByteArray(63, 'a') + "  AppRun\n" + equipo,
        h + " AppRun\n" + equipo,
        h + "  \n" + equipo,
        "TeamIdentifier=OTRO\n",
    };
    for (const QByteArray& m : malos)
        EXPECT_FALSE(leerManifiesto(m)) << m.constData();
}

} // namespace

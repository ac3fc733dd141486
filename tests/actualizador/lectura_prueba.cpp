// The readers of what a package holds (tar's listing, the manifest) decide on text
// alone, before anything of the package is unpacked.
#include "actualizador/manifiesto.h"
#include "actualizador/paquete.h"
#include "apoyo_actualizador.h"

#include <gtest/gtest.h>

namespace {

// One line of `tar -tvzf --quoting-style=c --numeric-owner`.
QString linea(char tipo, const QString& nombre, qint64 tamano = 0, const QString& destino = {})
{
    QString l = QString(QLatin1Char(tipo)) + QStringLiteral("rw-r--r-- 0/0 ") + QString::number(tamano)
        + QStringLiteral(" 2025-01-01 00:00 \"") + nombre + QLatin1Char('"');
    if (tipo == 'l')
        l += QStringLiteral(" -> \"") + destino + QLatin1Char('"');
    if (tipo == 'h')
        l += QStringLiteral(" link to \"") + destino + QLatin1Char('"');
    return l + QLatin1Char('\n');
}

const QString kBase = linea('d', QStringLiteral("ZorvPlayer/")) + linea('d', QStringLiteral("ZorvPlayer/usr/"))
    + linea('-', QStringLiteral("ZorvPlayer/AppRun"), 10) + linea('-', QStringLiteral("ZorvPlayer/usr/libz.so.1"), 5);

} // namespace

TEST(Listado, SoloMiembrosQueNoSalenDelArbol)
{
    struct Caso {
        const char* nombre;
        QString mas;
        bool valido;
    };
    const Caso casos[] = {
        {"base", {}, true},
        {"enlace junto a su destino", linea('l', QStringLiteral("ZorvPlayer/usr/libz.so"), 0, QStringLiteral("libz.so.1")), true},
        {"enlace que sube sin salir", linea('l', QStringLiteral("ZorvPlayer/usr/x"), 0, QStringLiteral("../AppRun")), true},
        {"enlace a carpeta", linea('l', QStringLiteral("ZorvPlayer/lib"), 0, QStringLiteral("usr")), true},
        {"enlace duro a un archivo anterior", linea('h', QStringLiteral("ZorvPlayer/b"), 0, QStringLiteral("ZorvPlayer/AppRun")), true},
        {"nombre repetido", linea('-', QStringLiteral("ZorvPlayer/AppRun"), 1), false},
        {"fuera de ZorvPlayer", linea('-', QStringLiteral("Otro/x"), 1), false},
        {"parte vacía", linea('-', QStringLiteral("ZorvPlayer//x"), 1), false},
        {"parte punto", linea('-', QStringLiteral("ZorvPlayer/./x"), 1), false},
        {"parte punto punto", linea('-', QStringLiteral("ZorvPlayer/usr/../../x"), 1), false},
        {"fifo", linea('p', QStringLiteral("ZorvPlayer/f")), false},
        {"dispositivo", linea('c', QStringLiteral("ZorvPlayer/d")), false},
        {"enlace absoluto", linea('l', QStringLiteral("ZorvPlayer/x"), 0, QStringLiteral("/etc")), false},
        {"enlace que sale", linea('l', QStringLiteral("ZorvPlayer/usr/x"), 0, QStringLiteral("../../x")), false},
        {"enlace que sale por otro",
         linea('l', QStringLiteral("ZorvPlayer/usr/s"), 0, QStringLiteral(".."))
             + linea('l', QStringLiteral("ZorvPlayer/usr/x"), 0, QStringLiteral("s/../../x")),
         false},
        {"enlaces en bucle",
         linea('l', QStringLiteral("ZorvPlayer/a"), 0, QStringLiteral("b")) + linea('l', QStringLiteral("ZorvPlayer/b"), 0, QStringLiteral("a")),
         false},
        {"miembro bajo un enlace",
         linea('l', QStringLiteral("ZorvPlayer/l"), 0, QStringLiteral("usr")) + linea('-', QStringLiteral("ZorvPlayer/l/x"), 1),
         false},
        {"enlace duro a algo no listado", linea('h', QStringLiteral("ZorvPlayer/b"), 0, QStringLiteral("ZorvPlayer/zz")), false},
        {"enlace duro a una carpeta", linea('h', QStringLiteral("ZorvPlayer/b"), 0, QStringLiteral("ZorvPlayer/usr")), false},
        {"tamaño negativo", linea('-', QStringLiteral("ZorvPlayer/n"), -1), false},
        {"sin comillas", QStringLiteral("-rw-r--r-- 0/0 1 2025-01-01 00:00 ZorvPlayer/x\n"), false},
        {"comilla sin cerrar", QStringLiteral("-rw-r--r-- 0/0 1 2025-01-01 00:00 \"ZorvPlayer/x\n"), false},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        EXPECT_EQ(leerListado(kBase + c.mas).has_value(), c.valido);
    }
    EXPECT_FALSE(leerListado(QString()));
    const auto l = leerListado(kBase + linea('-', QStringLiteral("ZorvPlayer/n\\nl\\303\\261"), 7));
    ASSERT_TRUE(l);
    EXPECT_EQ(l->first().nombre, QStringLiteral("ZorvPlayer"));
    EXPECT_EQ(l->last().nombre, QStringLiteral("ZorvPlayer/n\nlñ"));
    EXPECT_EQ(l->last().tamano, 7);
}

TEST(Manifiesto, LineasDeArchivosEnlacesEquipoYVersion)
{
    const QString d = sha256Hex("x");
    const QString enlace = sha256Hex("libz.so.1") + QStringLiteral("  usr/libz.so -> libz.so.1");
    const QString cabeza = d + QStringLiteral("  AppRun\n") + enlace + QStringLiteral("\nTeamIdentifier=Q7X2KM4ZRT\n");
    struct Caso {
        const char* nombre;
        QString texto;
        bool valido;
    };
    const Caso casos[] = {
        {"completo", cabeza + QStringLiteral("Version=2.0\n"), true},
        {"sin equipo ni versión", d + QStringLiteral("  AppRun\n"), true},
        {"versión repetida", cabeza + QStringLiteral("Version=2.0\nVersion=1.0\n"), false},
        {"línea desconocida", cabeza + QStringLiteral("Otra=1\n"), false},
        {"hex en mayúsculas", d.toUpper() + QStringLiteral("  AppRun\n"), false},
        {"un solo espacio", d + QStringLiteral(" AppRun\n"), false},
        {"ruta repetida", cabeza + d + QStringLiteral("  AppRun\n"), false},
        {"ruta absoluta", d + QStringLiteral("  /AppRun\n"), false},
        {"ruta que sube", d + QStringLiteral("  usr/../x\n"), false},
        {"ruta con parte vacía", d + QStringLiteral("  usr//x\n"), false},
        {"ruta en .firma", d + QStringLiteral("  .firma/x\n"), false},
        {"enlace con otro digesto", d + QStringLiteral("  usr/l -> libz.so.1\n"), false},
        {"enlace sin destino", sha256Hex("") + QStringLiteral("  usr/l -> \n"), false},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        EXPECT_EQ(leerManifiesto(c.texto.toUtf8()).has_value(), c.valido);
    }
    const auto m = leerManifiesto((cabeza + QStringLiteral("Version=2.0 beta\n")).toUtf8());
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->equipo);
    EXPECT_EQ(m->version, QStringLiteral("2.0 beta"));
    EXPECT_EQ(m->entradas.size(), 2);
    EXPECT_TRUE(m->entradas.value(QStringLiteral("usr/libz.so")).enlace);
    EXPECT_EQ(m->entradas.value(QStringLiteral("usr/libz.so")).destino, QStringLiteral("libz.so.1"));
    EXPECT_FALSE(leerManifiesto(d.toUtf8() + "  AppRun\n")->equipo);

    // Signed bytes, but a version other than the one being applied is no manifest.
    const QByteArray firmado = (cabeza + QStringLiteral("Version=1.5\n")).toUtf8();
    EXPECT_TRUE(manifiestoFirmado(firmado, firmar(firmado), QStringLiteral("1.5")));
    EXPECT_FALSE(manifiestoFirmado(firmado, firmar(firmado), QStringLiteral("9.0")));
    EXPECT_FALSE(manifiestoFirmado(firmado, firmar(firmado + "\n"), QStringLiteral("1.5")));
}

TEST(Manifiesto, ElListadoDebeSerExactamenteLoFirmado)
{
    const QString enlace = sha256Hex("libz.so.1") + QStringLiteral("  usr/libz.so -> libz.so.1\n");
    const auto m = leerManifiesto(
        (sha256Hex("a") + QStringLiteral("  AppRun\n") + sha256Hex("b") + QStringLiteral("  usr/libz.so.1\n") + enlace)
            .toUtf8());
    ASSERT_TRUE(m);
    const QString firma = linea('-', QStringLiteral("ZorvPlayer/.firma/manifiesto"), 1)
        + linea('-', QStringLiteral("ZorvPlayer/.firma/manifiesto.sig"), 1);
    const QString l = linea('l', QStringLiteral("ZorvPlayer/usr/libz.so"), 0, QStringLiteral("libz.so.1"));
    struct Caso {
        const char* nombre;
        QString listado;
        bool coincide;
    };
    const Caso casos[] = {
        {"exacto", kBase + firma + l, true},
        {"falta el enlace", kBase + firma, false},
        {"un miembro de más", kBase + firma + l + linea('-', QStringLiteral("ZorvPlayer/otro"), 1), false},
        {"otro archivo en .firma", kBase + firma + l + linea('-', QStringLiteral("ZorvPlayer/.firma/x"), 1), false},
        {"enlace a otro destino",
         kBase + firma + linea('l', QStringLiteral("ZorvPlayer/usr/libz.so"), 0, QStringLiteral("AppRun")), false},
        {"archivo donde se firmó un enlace", kBase + firma + linea('-', QStringLiteral("ZorvPlayer/usr/libz.so"), 1), false},
        {"carpeta que no guarda nada firmado", kBase + firma + l + linea('d', QStringLiteral("ZorvPlayer/usr/vacia/")), false},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        const auto listado = leerListado(c.listado);
        ASSERT_TRUE(listado);
        EXPECT_EQ(listadoCoincide(*listado, *m), c.coincide);
    }
}

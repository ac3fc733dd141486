#include "apoyo/impresion.h"
#include "camaras/nombres.h"
#include "camaras/ventana_camaras.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(NombresCamaras, SegundosDelDirecto)
{
    const std::pair<const char*, int> casos[] = {
        {"2", 5},      {"99999", 3600}, {"abc", 60},  {"", 60},     {"5", 5},   {"6", 6},
        {"-3", 5},     {"+7", 7},       {" 30", 60},  {"30 ", 60},  {"1.5", 60}, {"3600", 3600},
        {"99999999999999999999999", 3600}, {"-99999999999999999999999", 5}, {"0", 5},
    };
    for (const auto& [texto, esperado] : casos)
        EXPECT_EQ(duracionDirecto(QString::fromUtf8(texto)), esperado) << texto;
}

TEST(NombresCamaras, DireccionEscrita)
{
    struct Caso {
        const char* texto;
        const char* direccion;
        int puerto;
    };
    const Caso casos[] = {
        {"10.77.0.9:8000", "10.77.0.9", 8000},
        {"10.77.0.9", "10.77.0.9", 80},
        {"10.77.0.9:80a", "10.77.0.9:80a", 80},  // letters after the colon: all of it is the address
        {"camara:99999999999", "camara", 80},    // digits that do not fit an integer
        {"a:b:21", "a:b", 21},
    };
    for (const Caso& k : casos) {
        const auto [direccion, puerto] = leerDireccion(QString::fromUtf8(k.texto));
        EXPECT_EQ(direccion, QString::fromUtf8(k.direccion)) << k.texto;
        EXPECT_EQ(puerto, k.puerto) << k.texto;
    }
}

TEST(NombresCamaras, CarpetaDelCasoNoSaleDeLaBase)
{
    const std::pair<const char*, const char*> casos[] = {
        {"Robo 12", "/casos/Robo 12/camaras"},
        {"", "/casos/camaras"},
        {"  ", "/casos/camaras"},
        {"..", "/casos/--/camaras"},
        {"../../etc", "/casos/---..-etc/camaras"},
        {"a/b", "/casos/a-b/camaras"},
    };
    for (const auto& [caso, esperado] : casos)
        EXPECT_EQ(destinoDe(QStringLiteral("/casos"), QString::fromUtf8(caso)), QString::fromUtf8(esperado)) << caso;
    EXPECT_EQ(destinoDe(QStringLiteral("/casos/"), QStringLiteral("X")), QStringLiteral("/casos/X/camaras"));
    EXPECT_EQ(componenteSeguro(QStringLiteral("."), QStringLiteral("x")), QStringLiteral("-"));
    EXPECT_EQ(componenteSeguro(QStringLiteral(" "), QStringLiteral("x")), QStringLiteral("x"));
    EXPECT_EQ(componenteSeguro(QStringLiteral(".oculto.mp4")), QStringLiteral("-oculto.mp4"));
    EXPECT_EQ(componenteSeguro(QStringLiteral("a..b.mp4")), QStringLiteral("a..b.mp4"));
    // A drive's label or file name may hold control characters; a path goes out on one line.
    EXPECT_EQ(componenteSeguro(QStringLiteral("COPIA\nDVR\x01\u2028.mp4")), QStringLiteral("COPIA-DVR--.mp4"));
}

TEST(NombresCamaras, NombreLibreNuncaPisaUnFichero)
{
    QTemporaryDir dir;
    const QString d = dir.path();
    const QTime hora(14, 3, 9);
    auto crear = [&](const QString& n) {
        QFile f(d + QLatin1Char('/') + n);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    };
    EXPECT_EQ(nombreLibre(d, QStringLiteral("a.mp4"), hora), QStringLiteral("a.mp4"));
    crear(QStringLiteral("a.mp4"));
    EXPECT_EQ(nombreLibre(d, QStringLiteral("a.mp4"), hora), QStringLiteral("a-140309.mp4"));
    crear(QStringLiteral("a-140309.mp4"));
    EXPECT_EQ(nombreLibre(d, QStringLiteral("a.mp4"), hora), QStringLiteral("a-140309-2.mp4"));
    crear(QStringLiteral("sin"));
    EXPECT_EQ(nombreLibre(d, QStringLiteral("sin"), hora), QStringLiteral("sin-140309"));
    crear(QStringLiteral("x.tar.gz"));
    EXPECT_EQ(nombreLibre(d, QStringLiteral("x.tar.gz"), hora), QStringLiteral("x.tar-140309.gz"));
    crear(QStringLiteral(".oculto"));
    EXPECT_EQ(nombreLibre(d, QStringLiteral(".oculto"), hora), QStringLiteral(".oculto-140309"));
}

TEST(NombresCamaras, OrdenDeLaLista)
{
    auto o = std::make_shared<Origen>(QStringLiteral("unidad"), QStringLiteral("u"), QStringLiteral("/u"), QString());
    const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1700000000);
    auto f = [&](const char* n, std::optional<QDateTime> fecha) {
        return std::make_shared<Fichero>(QString::fromUtf8(n), fecha, 0, QString(), o, QString());
    };
    const QList<FicheroPtr> entrada = {f("sin1", std::nullopt), f("viejo", t0), f("igual1", t0.addSecs(60)),
                                       f("sin2", std::nullopt), f("nuevo", t0.addSecs(120)), f("igual2", t0.addSecs(60))};
    QStringList orden;
    for (const FicheroPtr& x : ordenarRecientes(entrada))
        orden << x->nombre;
    EXPECT_EQ(orden, (QStringList{"nuevo", "igual1", "igual2", "viejo", "sin1", "sin2"}));
}

TEST(NombresCamaras, FamiliasQueSePrueban)
{
    const QStringList todas = {"vstarcam", "hikvision", "dahua", "ftp"};
    for (const char* conocida : {"hikvision", "dahua", "vstarcam", "ftp"})
        EXPECT_EQ(familiasAProbar(QString::fromUtf8(conocida)), QStringList{QString::fromUtf8(conocida)});
    for (const char* otra : {"rtsp", "", "desconocida", "onvif", "cámara", "hikvision2"})
        EXPECT_EQ(familiasAProbar(QString::fromUtf8(otra)), todas) << otra;
    EXPECT_TRUE(lineaAyuda(QStringLiteral("hikvision-nvr")).startsWith(QStringLiteral("Hikvision/HiLook")));
    EXPECT_TRUE(lineaAyuda(QStringLiteral("ftp2")).startsWith(QStringLiteral("Pon usuario")));
}

TEST(NombresCamaras, ArgumentosDelModo)
{
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation) + QStringLiteral("/ZorvPlayer");
    struct Caso {
        QStringList args;
        std::optional<QString> bin;
        QString base, caso, ffmpeg;
    };
    const Caso casos[] = {
        {{}, std::nullopt, videos, "", "/usr/bin/ffmpeg"},
        {{}, QStringLiteral("/opt/Z/bin"), videos, "", "/opt/Z/bin/ffmpeg"},
        {{"/c", "Robo 12"}, QStringLiteral("/opt/Z/bin"), "/c", "Robo 12", "/opt/Z/bin/ffmpeg"},
        {{"/c", "R", "/x/ffmpeg"}, QStringLiteral("/opt/Z/bin"), "/c", "R", "/x/ffmpeg"},
        {{"", "R"}, std::nullopt, videos, "R", "/usr/bin/ffmpeg"},
    };
    for (const Caso& k : casos) {
        const ArgumentosCamaras a = argumentosCamaras(k.args, k.bin);
        EXPECT_EQ(a.base, k.base) << k.args.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(a.caso, k.caso);
        EXPECT_EQ(a.ffmpeg, k.ffmpeg);
    }
}

// "Elegir fechas…": day/month/year, seconds optional, the start strictly first.
TEST(NombresCamaras, VentanaDeFechasEscrita)
{
    const QDateTime t(QDate(2024, 3, 5), QTime(14, 10));
    EXPECT_EQ(leerVentana(" 05/03/2024  14:10 ", "5/3/2024 14:40:30").ventana, std::pair(t, t.addSecs(1830)));
    EXPECT_EQ(leerVentana("05/03/2024 14:10:00", "05/03/2024 14:10").problema, "El inicio tiene que ser anterior al final.");
}

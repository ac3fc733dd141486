// VStarcam memory cards: index links, day folders, file names, then the walk of a card the
// fake's web server lists itself and downloads converted by the real ffmpeg.
#include "apoyo/programa.h"
#include "apoyo/videos.h"
#include "apoyo/zona_horaria.h"
#include "familias.h"
#include "grabadores/ayudas.h"
#include "grabadores/vstarcam.h"

#include <QDir>
#include <QFileInfo>

namespace {

QDateTime local(int dia, int h, int m, int s = 0) { return QDateTime(QDate(2024, 3, dia), QTime(h, m, s)); }

QString carpetaDia(const QDate& d) { return d.toString(QStringLiteral("yyyyMMdd")); }
QString nombreConHora(const QDateTime& t, const char* ext) {
    return QStringLiteral("P%1_%2%3").arg(t.toString(QStringLiteral("yyMMdd_HHmmss")),
                                          t.addSecs(60).toString(QStringLiteral("HHmmss")),
                                          QString::fromUtf8(ext));
}

}  // namespace

TEST(VStarcam, LinksDeUnIndice) {
    const QString pagina = QStringLiteral(
        "<a href=\"?C=N;O=D\">Name</a><a href=\"../\">Parent Directory</a><a href=\"..\">up</a>"
        "<a href=\"/sd/..\">up</a><a href=\"20240305/\">20240305/</a>\n"
        "<A HREF=\"mayusculas/\">x</A><a href=\"/sd/20240304/\">abs</a><a href=\"x%20y.264\">e</a>"
        "<a href=\"a/../b.jpg\">b</a><a href=\"\">vacío</a><a href=\"v.264\">v</a><a href=\"v.264\">v</a>");
    const QStringList esperados{"/sd/20240305/", "/sd/20240304/", "/sd/x%20y.264", "/sd/a/../b.jpg",
                                "/sd/v.264", "/sd/v.264"};
    EXPECT_EQ(linksDePagina(pagina, QStringLiteral("/sd/")), esperados);
    EXPECT_EQ(linksDePagina(pagina, QStringLiteral("/sd")), esperados);
    EXPECT_EQ(linksDePagina(QStringLiteral("<a href='simple/'>"), QStringLiteral("/sd/")), QStringList{});
}

TEST(VStarcam, DiasDelPeriodo) {
    const struct {
        const char* link;
        QDateTime inicio, fin;
        bool dentro;
    } casos[] = {
        // "24 horas" that ended just after midnight on the 6th: the 5th and the 6th.
        {"/sd/20240305/", local(5, 0, 30), local(6, 0, 30), true},
        {"/sd/20240306", local(5, 0, 30), local(6, 0, 30), true},
        {"/sd/20240304/", local(5, 0, 30), local(6, 0, 30), false},
        {"/sd/20240307/", local(5, 0, 30), local(6, 0, 30), false},
        // Ended late on the 5th: the 4th and the 5th.
        {"/sd/20240305/", local(4, 23, 59), local(5, 23, 59), true},
        {"/sd/20240304/", local(4, 23, 59), local(5, 23, 59), true},
        {"/sd/20240306/", local(4, 23, 59), local(5, 23, 59), false},
        {"/sd/20240303/", local(4, 23, 59), local(5, 23, 59), false},
        // Links that name no day.
        {"/sd/20241305/", local(1, 0, 0), local(31, 0, 0), false},
        {"/sd/2024030/", local(1, 0, 0), local(31, 0, 0), false},
        {"/sd/20240305/x/", local(1, 0, 0), local(31, 0, 0), false},
        {"/sd/120240305/", local(1, 0, 0), local(31, 0, 0), false},
    };
    ZonaHoraria madrid("Europe/Madrid");
    for (const auto& c : casos)
        EXPECT_EQ(diaEnPeriodo(c.link, c.inicio, c.fin), c.dentro)
            << c.link << " " << c.inicio.toString(Qt::ISODate).toStdString();
}

TEST(VStarcam, FicherosDeLaTarjeta) {
    ZonaHoraria madrid("Europe/Madrid");
    const QDateTime inicio = local(5, 0, 0), fin = local(6, 0, 0);
    const struct {
        const char* ruta;
        const char* nombre;  // nullptr: not listed
        std::optional<QDateTime> fecha;
        bool crudo;
    } casos[] = {
        {"/sd/20240305/record000/P240305_140709_140809.264", "2024-03-05-14-07-09.mp4", local(5, 14, 7, 9), true},
        {"/sd/20240305/record000/240305-140709.H265", "2024-03-05-14-07-09.mp4", local(5, 14, 7, 9), true},
        {"/sd/20240305/record000/snap_240305_140709.jpg", "2024-03-05-14-07-09.jpg", local(5, 14, 7, 9), false},
        // No time in the name: its own stem, whatever the period.
        {"/sd/20240305/record000/alarma.h264", "alarma.mp4", std::nullopt, true},
        {"/sd/19990101/x/viejo.MP4", "viejo.mp4", std::nullopt, false},
        {"/sd/20240305/record000/P240399_140709.264", "P240399_140709.mp4", std::nullopt, true},
        // A time outside the period, and what is no recording.
        {"/sd/20240305/record000/P240304_235959_000001.264", nullptr, std::nullopt, false},
        {"/sd/20240305/record000/P240306_000001_000101.264", nullptr, std::nullopt, false},
        {"/sd/20240305/record000/index.txt", nullptr, std::nullopt, false},
        {"/sd/20240305/record000/sin_extension", nullptr, std::nullopt, false},
        // Names that try to leave the folder stay one file name.
        {"/sd/20240305/r/..%2F..%2Fetc%2Fcron.d%2Fx.jpg", "_..%2F..%2Fetc%2Fcron.d%2Fx.jpg", std::nullopt, false},
        {"/sd/20240305/r/a\x01\x1f\x7f.264", "a___.mp4", std::nullopt, true},
        // Hidden names show, and a raw one still ends in ".mp4".
        {"/sd/20240305/r/..264", "_..mp4", std::nullopt, true},
        {"/sd/20240305/r/.h265", "_.mp4", std::nullopt, true},
    };
    const auto origen = std::make_shared<Origen>("red", "v", "v", "");
    for (const auto& c : casos) {
        SCOPED_TRACE(c.ruta);
        const auto f = ficheroVStarcam(QString::fromUtf8(c.ruta), origen, inicio, fin);
        if (!c.nombre) {
            EXPECT_EQ(f, nullptr);
            continue;
        }
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->nombre, QString::fromUtf8(c.nombre));
        EXPECT_EQ(f->fecha, c.fecha);
        EXPECT_EQ(f->crudo, c.crudo);
        EXPECT_EQ(f->tamano, 0);
        EXPECT_EQ(f->ruta, QString::fromUtf8(c.ruta));
        EXPECT_EQ(f->dato, f->ruta);
    }
}

class VStarcamEnRed : public ConGrabador {};

TEST_F(VStarcamEnRed, TarjetaPorDiasConTope) {
    const QDateTime ahora = QDateTime::currentDateTime();
    const QDate hoy = ahora.date();
    // One recording an hour ago today, one of yesterday, one of last week, one undated.
    const QDateTime hace1h = ahora.addSecs(-3600), ayer = ahora.addSecs(-23 * 3600 - 600),
                    semana = ahora.addDays(-6);
    grabador->tarjeta(carpetaDia(hoy) + "/record000/" + nombreConHora(hace1h, ".264"), "x");
    grabador->tarjeta(carpetaDia(hoy) + "/record000/notas.txt", "x");
    grabador->tarjeta(carpetaDia(hoy) + "/suelto.264", "x");  // files beside the sub-folders are ignored
    grabador->tarjeta(carpetaDia(ayer.date()) + "/record001/" + nombreConHora(ayer, ".jpg"), "x");
    grabador->tarjeta(carpetaDia(semana.date()) + "/record000/" + nombreConHora(semana, ".264"), "x");
    grabador->tarjeta(carpetaDia(semana.date()) + "/record000/sin-hora.h265", "x");
    grabador->tarjeta("otra/" + nombreConHora(hace1h, ".264"), "x");
    const struct {
        const char* periodo;
        QStringList nombres;
    } casos[] = {
        {"24 horas", {nombreFecha(hace1h, ".mp4"), nombreFecha(ayer, ".jpg")}},
        {"7 días", {nombreFecha(hace1h, ".mp4"), nombreFecha(ayer, ".jpg"), nombreFecha(semana, ".mp4"),
                    "sin-hora.mp4"}},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.periodo);
        QList<FicheroPtr> l;
        ASSERT_EQ(enRed([&] { l = listarVStarcam(origen(), c.periodo).ficheros; }), SIN_ERROR);
        QStringList nombres;
        for (const auto& f : l) nombres << f->nombre;
        EXPECT_EQ(nombres, c.nombres) << "el día más nuevo primero";
    }

    // A full card: 3000 at most, the newest day first.
    for (int i = 0; i < 3100; ++i)
        grabador->tarjeta(carpetaDia(semana.date()) + QStringLiteral("/record002/s%1.jpg").arg(i, 4, 10, QLatin1Char('0')), "");
    QList<FicheroPtr> l;
    ASSERT_EQ(enRed([&] { l = listarVStarcam(origen(), QStringLiteral("Todo")).ficheros; }), SIN_ERROR);
    ASSERT_EQ(l.size(), 3000);
    EXPECT_EQ(l[0]->nombre, nombreFecha(hace1h, ".mp4"));
    EXPECT_EQ(l.last()->nombre, QStringLiteral("s2995.jpg"));
}

TEST_F(VStarcamEnRed, DescargasConvertidasPorFfmpeg) {
    if (!hayFfmpeg()) GTEST_SKIP() << "hace falta ffmpeg";
    const QByteArray h264 = videoCrudo(30), h265 = videoCrudo(30, true);
    const QList<QByteArray> f264 = fotogramasDe(h264), f265 = fotogramasDe(h265, true);
    ASSERT_EQ(f264.size(), 30);
    ASSERT_EQ(f265.size(), 30);
    const QByteArray foto("\xff\xd8\xff\xe0 una foto", 14);
    QByteArray cortado = envolverHXVT(f264);
    cortado.chop(164 + 16 + 5);  // the last audio block and part of the last frame
    const struct {
        const char* nombre;
        QByteArray datos;
        bool crudo;
        int fotogramas;  // -1: the file must come out byte for byte
        QString mensaje;
    } casos[] = {
        {"a.264", envolverHXVT(f264), true, 30, SIN_ERROR},
        {"b.264", cortado, true, 29, SIN_ERROR},
        {"c.265", envolverHXVT(f265, false), true, 30, SIN_ERROR},
        {"d.h264", h264, true, 30, SIN_ERROR},  // no container: handed over as it came
        {"e.jpg", foto, false, -1, SIN_ERROR},
        {"f.264", {}, true, 0, QStringLiteral("descarga vacía")},
        {"g.264", QByteArray("HX no es vídeo"), true, 0, QStringLiteral("no se pudo convertir el vídeo")},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        grabador->tarjeta(QStringLiteral("20240305/record000/") + c.nombre, c.datos);
        const QString ruta = QStringLiteral("/sd/20240305/record000/") + c.nombre;
        Fichero f(c.nombre, std::nullopt, 0, ruta, origen(), ruta);
        f.crudo = c.crudo;
        const QString carpeta = tmp.filePath(c.nombre + QStringLiteral("-dir"));
        QDir().mkpath(carpeta);
        const QString destino = carpeta + (c.crudo ? "/v.mp4" : "/v.jpg");
        int ultimo = -1;
        EXPECT_EQ(enRed([&] { descargarVStarcam(f, destino, "/usr/bin/ffmpeg", [&](int p) { ultimo = p; }); }),
                  c.mensaje);
        if (c.mensaje != SIN_ERROR) {
            EXPECT_EQ(ficherosEn(carpeta), c.datos.isEmpty() ? QStringList{} : QStringList{"v.264"}) << "only the raw download";
            continue;
        }
        EXPECT_EQ(ficherosEn(carpeta), QStringList{QFileInfo(destino).fileName()});
        EXPECT_EQ(ultimo, 100);
        if (c.fotogramas < 0) EXPECT_EQ(leerArchivo(destino), c.datos);
        else EXPECT_EQ(fotogramasEn(destino), c.fotogramas);
    }

    // Without a working ffmpeg nothing is left behind either.
    grabador->tarjeta("20240305/record000/a.264", envolverHXVT(f264));
    Fichero f("a.264", std::nullopt, 0, "/sd/20240305/record000/a.264", origen(), "/sd/20240305/record000/a.264");
    f.crudo = true;
    const QString carpeta = tmp.filePath("sin-ffmpeg");
    QDir().mkpath(carpeta);
    EXPECT_EQ(enRed([&] { descargarVStarcam(f, carpeta + "/v.mp4", "/no/existe/ffmpeg", {}); }),
              QStringLiteral("no se pudo convertir el vídeo"));
    EXPECT_EQ(ficherosEn(carpeta), QStringList{"v.264"});
}

// Names come from the card's own pages: whatever they hold, each recording is one file in
// the folder it is downloaded to.
TEST_F(VStarcamEnRed, NombresDeLaTarjetaNoSalenDeLaCarpeta) {
    const QString dia = carpetaDia(QDate::currentDate());
    grabador->tarjeta(dia + "/r/buena.jpg", "foto");
    grabador->tarjeta(dia + "/r/index.html",
                      "<a href=\"../../../../../../tmp/fuera.jpg\">a</a>"
                      "<a href=\"..%2F..%2F..%2Ftmp%2Fcodificada.jpg\">b</a>"
                      "<a href=\"/sd/" + dia.toUtf8() + "/r/buena.jpg\">c</a>"
                      "<a href=\"linea\nnueva.jpg\">d</a><a href=\"./.jpg\">e</a>"
                      "<a href=\"..jpg\">f</a>");
    QList<FicheroPtr> l;
    ASSERT_EQ(enRed([&] { l = listarVStarcam(origen(), QStringLiteral("Todo")).ficheros; }), SIN_ERROR);
    ASSERT_EQ(l.size(), 6);
    const QString caso = tmp.filePath("caso");
    QDir().mkpath(caso);
    for (const auto& f : l) {
        SCOPED_TRACE(f->ruta.toStdString());
        const QFileInfo destino(caso + '/' + f->nombre);
        EXPECT_EQ(destino.absolutePath(), caso);
        EXPECT_NE(f->nombre, ".");
        EXPECT_NE(f->nombre, "..");
        EXPECT_FALSE(f->nombre.contains('/') || f->nombre.contains('\n'));
        // Whatever the device answers for it, nothing lands anywhere else.
        enRed([&] { descargarVStarcam(*f, destino.filePath(), "/usr/bin/ffmpeg", {}); });
    }
    EXPECT_EQ(ficherosEn(caso), QStringList{"buena.jpg"});
    EXPECT_EQ(ficherosEn(tmp.path()), QStringList{});
}

// Hikvision listings and downloads: the reader of search replies on its own, then the
// whole search and download against the fake recorder.
#include "apoyo/programa.h"
#include "apoyo/videos.h"
#include "apoyo/zona_horaria.h"
#include "familias.h"
#include "grabadores/reanudar.h"
#include "grabadores/ayudas.h"
#include "grabadores/hikvision.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTimeZone>

namespace {

QDateTime utc(int h, int m, int s) { return QDateTime(QDate(2024, 3, 5), QTime(h, m, s), Qt::UTC); }

// The i-th recording of a long day, one a minute.
ItemHikvision itemNumero(int i) {
    const QDateTime t = utc(0, 0, 0).addSecs(60 * i);
    const auto iso = [](const QDateTime& d) { return d.toString(Qt::ISODate); };
    return {iso(t), iso(t.addSecs(59)),
            QStringLiteral("rtsp://10.0.0.1/Streaming/tracks/101/?starttime=%1&amp;name=%2&amp;size=%3")
                .arg(t.toString(QStringLiteral("yyyyMMddTHHmmssZ")))
                .arg(i, 8, 10, QLatin1Char('0'))
                .arg(1000 + i),
            QStringLiteral("clip.mp4")};
}

}  // namespace

TEST(Hikvision, CuerpoDeBusquedaExacto) {
    const QString id = QStringLiteral("0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0");
    EXPECT_EQ(cuerpoBusquedaHikvision(id, utc(23, 0, 5), utc(23, 59, 59).addDays(1), 300),
              QStringLiteral(
                  "<?xml version='1.0' encoding='utf-8'?><CMSearchDescription><searchID>"
                  "0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0</searchID><trackIDList><trackID>101"
                  "</trackID></trackIDList><timeSpanList><timeSpan><startTime>2024-03-05T23:00:05Z"
                  "</startTime><endTime>2024-03-06T23:59:59Z</endTime></timeSpan></timeSpanList>"
                  "<maxResults>100</maxResults><searchResultPostion>300</searchResultPostion>"
                  "<metadataList><metadataDescriptor>//recordType.meta.std-cgi.com"
                  "</metadataDescriptor></metadataList></CMSearchDescription>"));
    // Local times go out as UTC.
    ZonaHoraria madrid("Europe/Madrid");
    const QDateTime local(QDate(2024, 3, 5), QTime(15, 0, 5));
    EXPECT_TRUE(cuerpoBusquedaHikvision(id, local, local, 0).contains("<startTime>2024-03-05T14:00:05Z<"));
}

TEST(Hikvision, ItemsDeUnaRespuesta) {
    ZonaHoraria madrid("Europe/Madrid");  // UTC+1 in March
    const struct {
        const char* item;
        const char* nombre;
        std::optional<QDateTime> fecha;
        int64_t tamano;
        const char* ruta;
        const char* dato;
    } casos[] = {
        {"<timeSpan><startTime>2024-03-05T14:07:09Z</startTime><endTime>2024-03-05T14:12:00Z</endTime>"
         "</timeSpan><playbackURI>rtsp://h/t/101/?starttime=1&amp;name=7&amp;size=1234</playbackURI>",
         "2024-03-05-15-07-09.mp4", utc(14, 7, 9), 1234, "hasta 15:12:00",
         "rtsp://h/t/101/?starttime=1&name=7&size=1234"},
        // A device that writes its own offset.
        {"<startTime>2024-03-05T14:07:09+08:00</startTime><endTime>2024-03-05T14:08:00+08:00</endTime>"
         "<playbackURI>u?size=5</playbackURI>",
         "2024-03-05-07-07-09.mp4", utc(6, 7, 9), 5, "hasta 07:08:00", "u?size=5"},
        {"<playbackURI>sin-tiempos</playbackURI>", "grabacion.mp4", std::nullopt, 0, "hasta ?",
         "sin-tiempos"},
        // Fractions of a second are not an internet date-time; a size beyond 64 bits is none.
        {"<startTime>2024-03-05T14:07:09.000Z</startTime><endTime>2024-03-05T14:08:00Z</endTime>"
         "<playbackURI>u?size=99999999999999999999</playbackURI>",
         "grabacion.mp4", std::nullopt, 0, "hasta 15:08:00", "u?size=99999999999999999999"},
        {"<startTime>2024-03-05T14:07:09Z</startTime><playbackURI>a&lt;b&gt;&quot;c&amp;amp;</playbackURI>",
         "2024-03-05-15-07-09.mp4", utc(14, 7, 9), 0, "hasta ?", "a<b>\"c&amp;"},
        {"<startTime>nunca</startTime>", "grabacion.mp4", std::nullopt, 0, "hasta ?", ""},
    };
    const auto origen = std::make_shared<Origen>("red", "h", "h", "");
    for (const auto& c : casos) {
        SCOPED_TRACE(c.item);
        const QString respuesta = QStringLiteral("<CMSearchResult><matchList>\n<searchMatchItem>") +
                                  QString::fromUtf8(c.item) +
                                  QStringLiteral("</searchMatchItem>\n</matchList></CMSearchResult>");
        const auto l = leerPaginaHikvision(respuesta, origen);
        ASSERT_EQ(l.size(), 1);
        EXPECT_EQ(l[0]->nombre, QString::fromUtf8(c.nombre));
        EXPECT_EQ(l[0]->fecha, c.fecha);
        EXPECT_EQ(l[0]->tamano, c.tamano);
        EXPECT_EQ(l[0]->ruta, QString::fromUtf8(c.ruta));
        EXPECT_EQ(l[0]->dato, QString::fromUtf8(c.dato));
        EXPECT_EQ(l[0]->origen, origen);
        EXPECT_FALSE(l[0]->crudo);
    }
    // Anything that is not a search result holds no recordings.
    for (const char* otra : {"", "<ResponseStatus><statusCode>4</statusCode></ResponseStatus>",
                             "<searchMatchItem>sin cerrar"})
        EXPECT_TRUE(leerPaginaHikvision(QString::fromUtf8(otra), origen).isEmpty()) << otra;
}

class HikvisionEnRed : public ConGrabador {};

TEST_F(HikvisionEnRed, PaginasDeCienHastaCincuenta) {
    const struct {
        int enGrabador, listados, paginas;
    } casos[] = {{0, 0, 1}, {99, 99, 1}, {100, 100, 2}, {250, 250, 3}, {5100, 5000, 50}};
    static const QRegularExpression campos(QStringLiteral(
        "<searchID>([0-9A-F-]{36})</searchID>.*<startTime>(.*)</startTime><endTime>(.*)</endTime>"
        ".*<searchResultPostion>(\\d+)</searchResultPostion>"),
        QRegularExpression::DotMatchesEverythingOption);
    QSet<QString> ids;
    for (const auto& c : casos) {
        SCOPED_TRACE(c.enGrabador);
        QList<ItemHikvision> items;
        for (int i = 0; i < c.enGrabador; ++i) items << itemNumero(i);
        grabador->hikvision(items);
        const qsizetype antes = grabador->peticiones().size();
        QList<FicheroPtr> l;
        ASSERT_EQ(enRed([&] { l = listarHikvision(origen(), QStringLiteral("24 horas")).ficheros; }), SIN_ERROR);
        ASSERT_EQ(l.size(), c.listados);
        for (int i = 0; i < c.listados; i += 97)
            EXPECT_EQ(l[i]->fecha, utc(0, 0, 0).addSecs(60 * i)) << "en el orden del grabador";
        const auto pedidas = peticionesDesde(antes);
        ASSERT_EQ(pedidas.size(), c.paginas);
        for (int p = 0; p < c.paginas; ++p) {
            const auto m = campos.match(pedidas[p].cuerpo);
            ASSERT_TRUE(m.hasMatch()) << pedidas[p].cuerpo.toStdString();
            EXPECT_EQ(m.captured(4).toInt(), 100 * p);
            EXPECT_FALSE(ids.contains(m.captured(1))) << "un searchID nuevo por página";
            ids << m.captured(1);
            const auto inicio = fmt(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"), true).fecha(m.captured(2));
            const auto fin = fmt(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"), true).fecha(m.captured(3));
            ASSERT_TRUE(inicio && fin);
            EXPECT_EQ(inicio->secsTo(*fin), 86400);
            EXPECT_LE(std::abs(fin->secsTo(QDateTime::currentDateTimeUtc())), 300);
        }
    }
}

TEST_F(HikvisionEnRed, DescargaConElLocalizadorDeVuelta) {
    if (!hayFfmpeg()) GTEST_SKIP() << "hace falta ffmpeg";
    const QByteArray clip = videoMP4(25);
    ASSERT_FALSE(clip.isEmpty());
    grabador->grabacion(QStringLiteral("clip.mp4"), clip);
    grabador->hikvision({itemNumero(7)});
    QList<FicheroPtr> l;
    ASSERT_EQ(enRed([&] { l = listarHikvision(origen(), QStringLiteral("Todo")).ficheros; }), SIN_ERROR);
    ASSERT_EQ(l.size(), 1);
    EXPECT_TRUE(l[0]->dato.contains("&name=00000007&size=1007"));
    EXPECT_EQ(l[0]->tamano, 1007);

    const QString destino = tmp.filePath(l[0]->nombre);
    int ultimo = -1;
    const qsizetype antes = grabador->peticiones().size();
    ASSERT_EQ(enRed([&] { descargarHikvision(*l[0], destino, [&](int p) { ultimo = p; }); }), SIN_ERROR);
    EXPECT_EQ(leerArchivo(destino), clip);
    EXPECT_EQ(ultimo, 100);
    EXPECT_EQ(ficherosEn(tmp.path()), QStringList{l[0]->nombre});
    const auto pedidas = peticionesDesde(antes);
    ASSERT_EQ(pedidas.size(), 1);
    EXPECT_EQ(pedidas[0].uri, QStringLiteral("/ISAPI/ContentMgmt/download"));
    EXPECT_TRUE(pedidas[0].cuerpo.contains("&amp;name=00000007&amp;size=1007</playbackURI>"));

    // A locator the device does not know: an error, and no file that could pass for one.
    const Fichero otro(QStringLiteral("x.mp4"), std::nullopt, 0, {}, origen(), QStringLiteral("rtsp://otro"));
    const QString otroDestino = tmp.filePath(QStringLiteral("x.mp4"));
    EXPECT_EQ(enRed([&] { descargarHikvision(otro, otroDestino, {}); }),
              QStringLiteral("la cámara respondió 400"));
    EXPECT_EQ(ficherosEn(tmp.path()), QStringList{l[0]->nombre});

    // The device drops the link halfway: an error, and neither half a recording nor a
    // temporary file.
    grabador->grabacion(QStringLiteral("clip.mp4"), clip, true);
    QFile::remove(destino);
    EXPECT_EQ(enRed([&] { descargarHikvision(*l[0], destino, {}); }),
              QStringLiteral("la cámara cortó la transferencia antes de terminar"));
    EXPECT_EQ(ficherosEn(tmp.path()), QStringList{});
}

// A link that drops three times at random points: the rest is asked for where the device
// honours ranges, the whole again where it does not, and a device whose bytes at the place
// of the resume changed is read again from zero, never joined to what was held.
TEST_F(HikvisionEnRed, RedQueCortaReanudaSinEmpalmarOtrosBytes) {
    const QByteArray datos = bytesAleatorios(64 << 20, 1), otro = bytesAleatorios(64 << 20, 2);
    grabador->grabacion(QStringLiteral("a.mp4"), datos);
    grabador->grabacion(QStringLiteral("b.mp4"), otro);
    grabador->hikvision({{QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("rtsp://a"), QStringLiteral("a.mp4")}});
    QList<int64_t> c;  // three cuts at random points
    for (QRandomGenerator g(7); c.size() < 3;) c << g.bounded(qint64(datos.size()));
    std::sort(c.begin(), c.end());
    const struct {
        bool rangos;
        const char* otro;
        QList<int64_t> cortes, reanudadas;
    } casos[] = {{true, "", c, c}, {false, "", c, {}}, {true, "b.mp4", {c[1]}, {}}};
    const Fichero f(QStringLiteral("a.mp4"), std::nullopt, datos.size(), {}, origen(), QStringLiteral("rtsp://a"));
    const QString destino = tmp.filePath(QStringLiteral("a.mp4"));
    for (const auto& k : casos) {
        grabador->fallos(QStringLiteral("a.mp4"), k.cortes, k.rangos, QString::fromUtf8(k.otro));
        Reanudacion r;
        QList<int64_t> reanudadas;
        EXPECT_EQ(enRed([&] { reanudadas = intentarConPausas(r, {0, 0, 0}, [&] { descargarHikvision(f, destino, {}, &r); }); }),
                  SIN_ERROR) << k.otro;
        EXPECT_EQ(r.intento, k.cortes.size() + 1);
        EXPECT_EQ(reanudadas, k.reanudadas);
        EXPECT_TRUE(leerArchivo(destino) == (*k.otro ? otro : datos));
    }
}

// An NVR's IP channels, a DVR's inputs (the NVR list empty) or neither; hostile names cleaned.
TEST_F(HikvisionEnRed, CanalesDeCadaClaseDeEquipo) {
    const QList<Canal> dados = {{1, "Entrada"}, {2, "<b>Caja\n\x1b[31m</b>"}, {7, ""}};
    QList<ItemHikvision> items;
    for (int c : {1, 2, 7})  // channels 1 and 2 start a recording in the same second
        items << ItemHikvision{"2024-03-05T14:07:0" + QString::number(c == 7) + "Z", "2024-03-05T14:08:00Z",
                               QStringLiteral("rtsp://x/tracks/%1/?size=9").arg(c * 100 + 1), "clip.mp4", c};
    const QStringList todos = {"1 Entrada 101", "2 <b>Caja[31m</b> 201", "7  701"};
    const struct {
        std::optional<QList<Canal>> proxy, entradas;
        QStringList vistos;
    } casos[] = {{dados, std::nullopt, todos}, {QList<Canal>{}, dados, todos}, {std::nullopt, std::nullopt, {"1  101"}}};
    for (const auto& c : casos) {
        grabador->hikvision(items, c.proxy, c.entradas);
        Listado l;
        ASSERT_EQ(enRed([&] { l = listarHikvision(origen(), QStringLiteral("Todo")); }), SIN_ERROR);
        QStringList vistos;
        for (const FicheroPtr& f : l.ficheros)
            vistos << QStringLiteral("%1 %2 %3").arg(f->canal).arg(f->nombreCanal, f->dato.section('/', 4, 4));
        EXPECT_EQ(vistos, c.vistos);
    }
}

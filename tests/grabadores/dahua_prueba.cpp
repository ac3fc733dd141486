// Dahua listings and downloads: the reader of finder replies, names and download paths on
// their own, then the finder's life cycle and the file loading against the fake recorder.
#include "apoyo/programa.h"
#include "apoyo/videos.h"
#include "apoyo/zona_horaria.h"
#include "familias.h"
#include "grabadores/ayudas.h"
#include "grabadores/dahua.h"

#include <QUrl>
#include <QUrlQuery>

namespace {

// Items as "n.Clave=valor" lines in ascending item order, to compare in one piece.
QStringList plano(const ItemsDahua& items) {
    QStringList res;
    for (auto it = items.begin(); it != items.end(); ++it)
        for (auto k = it->begin(); k != it->end(); ++k)
            res << QStringLiteral("%1.%2=%3").arg(it.key()).arg(k.key(), k.value());
    return res;
}

ItemDahua itemNumero(int i) {
    const QDateTime t = QDateTime(QDate(2024, 3, 5), QTime(0, 0)).addSecs(60 * i);
    const QString f = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    return {t.toString(f), t.addSecs(59).toString(f),
            QStringLiteral("/mnt/dvr/2024-03-05/001/dav/00/%1.dav").arg(i), 100 + i, QStringLiteral("clip.dav")};
}

}  // namespace

TEST(Dahua, LineasDeItems) {
    const struct {
        QByteArray respuesta;
        QStringList items;
    } casos[] = {
        {"found=2\r\nitems[0].FilePath=/a.dav\r\nitems[0].Length=10\r\nitems[1].StartTime=2024-03-05 14:07:09\r\n",
         {"0.FilePath=/a.dav", "0.Length=10", "1.StartTime=2024-03-05 14:07:09"}},
        // Numeric order, whatever the order of the lines.
        {"items[10].A=x\nitems[2].A=y\nitems[1].A=z\n", {"1.A=z", "2.A=y", "10.A=x"}},
        // Spaces and tabs trimmed at both ends; inner ones and other characters kept.
        {"items[0].A=  dos  palabras \t\r\nitems[0].B=\t\r\n", {"0.A=dos  palabras", "0.B="}},
        // The last line needs no line break; a later value replaces an earlier one.
        {"items[3].A=uno\r\nitems[3].A=dos", {"3.A=dos"}},
        // Any line-break character ends a line; empty lines do not matter.
        {"items[0].A=x\x0bitems[1].A=y\fitems[2].A=z\xe2\x80\xa8items[3].A=w\r\r\n\n", {"0.A=x", "1.A=y", "2.A=z", "3.A=w"}},
        // Lines that are not item lines, and numbers that fit no integer.
        {"items[].A=1\nitems[x].A=1\nitems[1]A=1\nitems[1].=1\nitems[1].A-B=1\n items[1].A=1\n"
         "Items[1].A=1\nitems[99999999999999999999].A=1\nitems[1].A\n",
         {}},
        // The value runs to the end of the line, "=" included; bytes that are not UTF-8 are kept.
        {"items[007].Clave_1=a=b\nitems[5].C=\xff\n", {QStringLiteral("5.C=") + QChar(0xDCFF), "7.Clave_1=a=b"}},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.respuesta.toStdString());
        EXPECT_EQ(plano(leerItemsDahua(c.respuesta)), c.items);
    }
}

TEST(Dahua, FicherosDeItems) {
    ZonaHoraria tokio("Asia/Tokyo");
    const struct {
        QMap<QString, QString> item;
        const char* nombre;
        std::optional<QDateTime> fecha;
        int64_t tamano;
    } casos[] = {
        {{{"StartTime", "2024-03-05 14:07:09"}, {"FilePath", "/mnt/dvr/14.07.09-14.12.00.dav"}, {"Length", "2048"}},
         "2024-03-05-14-07-09.dav", QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)), 2048},
        {{{"StartTime", "2024-03-05 14:07:09"}, {"FilePath", "/mnt/sd/clip.mp4"}},
         "2024-03-05-14-07-09.mp4", QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)), 0},
        // No extension in the last component (a dot in a folder does not count).
        {{{"FilePath", "/mnt/dvr.1/grabacion"}, {"Length", "doce"}}, "grabacion.dav", std::nullopt, 0},
        {{{"StartTime", "2024-03-05T14:07:09"}, {"FilePath", "/x/y.DAV"}, {"Length", "-1"}},
         "grabacion.DAV", std::nullopt, -1},
        {{}, "grabacion.dav", std::nullopt, 0},
        // A path made to climb out of the download folder still names one file in it.
        {{{"FilePath", "/x/y.\x01/../../../../etc/passwd.a\x1fz"}}, "grabacion.a_z", std::nullopt, 0},
        {{{"FilePath", "/x/y.d\xe2\x80\xa8v"}}, "grabacion.d_v", std::nullopt, 0},
    };
    const auto origen = std::make_shared<Origen>("red", "d", "d", "");
    ItemsDahua items;
    for (qsizetype i = 0; i < qsizetype(std::size(casos)); ++i) items[i] = casos[i].item;
    const auto l = ficherosDahua(items, origen);
    ASSERT_EQ(l.size(), qsizetype(std::size(casos)));
    for (qsizetype i = 0; i < l.size(); ++i) {
        SCOPED_TRACE(casos[i].nombre);
        EXPECT_EQ(l[i]->nombre, QString::fromUtf8(casos[i].nombre));
        EXPECT_EQ(l[i]->fecha, casos[i].fecha);
        EXPECT_EQ(l[i]->tamano, casos[i].tamano);
        EXPECT_EQ(l[i]->ruta, casos[i].item.value("FilePath"));
        EXPECT_EQ(l[i]->dato, casos[i].item.value("FilePath"));
    }
}

TEST(Dahua, RutaDeCarga) {
    const struct {
        const char* ruta;
        const char* codificada;
    } casos[] = {
        {"/mnt/dvr/2024-03-05/001/dav/14/14.07.09-14.12.00[R][0@0][0].dav",
         "/mnt/dvr/2024-03-05/001/dav/14/14.07.09-14.12.00%5BR%5D%5B0@0%5D%5B0%5D.dav"},
        {"/mi carpeta/a?b#c%d.dav", "/mi%20carpeta/a%3Fb%23c%25d.dav"},
        {"//doble//barra/", "//doble//barra/"},
        {"sin/raíz:;=&.mp4", "sin/ra%C3%ADz:;=&.mp4"},
        {"", ""},
    };
    for (const auto& c : casos)
        EXPECT_EQ(rutaCargaDahua(QString::fromUtf8(c.ruta)), QString::fromUtf8(c.codificada)) << c.ruta;
}

class DahuaEnRed : public ConGrabador {};

TEST_F(DahuaEnRed, PaginasYCicloDelBuscador) {
    const QString n = QStringLiteral("findNextFile");
    const QStringList abrir{"factory.create", "findFile"}, cerrar{"close", "destroy"};
    const struct {
        const char* caso;
        int items;
        GuionDahua guion;
        int listados;
        QStringList acciones;
        QString mensaje;
    } casos[] = {
        {"nada grabado", 0, {}, 0, abrir + QStringList{"destroy"}, SIN_ERROR},
        {"99", 99, {}, 99, abrir + QStringList{n} + cerrar, SIN_ERROR},
        {"100", 100, {}, 100, abrir + QStringList{n, n} + cerrar, SIN_ERROR},
        {"desordenados", 3, {false, 0, true}, 3, abrir + QStringList{n} + cerrar, SIN_ERROR},
        {"5100", 5100, {}, 5000, abrir + QStringList(50, n) + cerrar, SIN_ERROR},
        // What the pages before the failing one held is kept, and the finder released.
        {"falla en la página 3", 250, {false, 3, false}, 200, abrir + QStringList{n, n, n} + cerrar, SIN_ERROR},
        {"falla en la primera", 250, {false, 1, false}, 0, abrir + QStringList{n}, QStringLiteral("la cámara respondió 500")},
        {"sin buscador", 5, {true, 0, false}, 0, {"factory.create"},
         QStringLiteral("la cámara no devolvió un buscador de ficheros: Error\r\nNo such object\r\n")},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.caso);
        QList<ItemDahua> items;
        for (int i = 0; i < c.items; ++i) items << itemNumero(i);
        grabador->dahua(items, c.guion);
        const qsizetype antes = grabador->accionesDahua().size();
        Listado r;
        EXPECT_EQ(enRed([&] { r = listarDahua(origen(), QStringLiteral("7 días")); }), c.mensaje);
        const QList<FicheroPtr>& l = r.ficheros;
        EXPECT_EQ(grabador->accionesDahua().mid(antes), c.acciones);
        EXPECT_EQ(r.cortes.join(""), c.listados == 200 ? "se detuvo en la página 3: la cámara respondió 500" : "");
        ASSERT_EQ(l.size(), c.listados);
        for (int i = 0; i < c.listados; i += 89) {
            EXPECT_EQ(l[i]->ruta, items[i].ruta);
            EXPECT_EQ(l[i]->tamano, 100 + i);
        }
    }
}

TEST_F(DahuaEnRed, FechasLocalesEnLaBusqueda) {
    ZonaHoraria tokio("Asia/Tokyo");
    grabador->dahua({itemNumero(0)});
    QList<FicheroPtr> l;
    ASSERT_EQ(enRed([&] { l = listarDahua(origen(), QStringLiteral("30 días")).ficheros; }), SIN_ERROR);
    ASSERT_EQ(l.size(), 1);
    EXPECT_EQ(l[0]->fecha, QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
    EXPECT_EQ(l[0]->nombre, QStringLiteral("2024-03-05-00-00-00.dav"));
    const PeticionVista buscar = grabador->peticiones().at(1);
    const QUrlQuery q(QUrl(buscar.uri).query());
    const auto leer = [&](const char* clave) {
        return fmt(QStringLiteral("yyyy-MM-dd HH:mm:ss"), false)
            .fecha(q.queryItemValue(clave, QUrl::FullyDecoded));
    };
    const auto inicio = leer("condition.StartTime"), fin = leer("condition.EndTime");
    ASSERT_TRUE(inicio && fin) << buscar.uri.toStdString();
    EXPECT_EQ(inicio->secsTo(*fin), 30 * 86400);
    EXPECT_LE(std::abs(fin->secsTo(QDateTime::currentDateTime())), 300) << "hora local, no UTC";
}

TEST_F(DahuaEnRed, DescargaConEspaciosYCorchetes) {
    if (!hayFfmpeg()) GTEST_SKIP() << "hace falta ffmpeg";
    const QByteArray clip = videoMP4(25);
    ASSERT_FALSE(clip.isEmpty());
    grabador->grabacion(QStringLiteral("clip.dav"), clip);
    ItemDahua i = itemNumero(3);
    i.ruta = QStringLiteral("/mnt/dvr/mi carpeta/00.00.03-00.01.02[M][0@0][0].dav");
    i.largo.reset();
    grabador->dahua({i});
    QList<FicheroPtr> l;
    ASSERT_EQ(enRed([&] { l = listarDahua(origen(), QStringLiteral("Todo")).ficheros; }), SIN_ERROR);
    ASSERT_EQ(l.size(), 1);
    EXPECT_EQ(l[0]->tamano, clip.size());
    const QString destino = tmp.filePath(l[0]->nombre);
    int ultimo = -1;
    ASSERT_EQ(enRed([&] { descargarDahua(*l[0], destino, [&](int p) { ultimo = p; }); }), SIN_ERROR);
    EXPECT_EQ(leerArchivo(destino), clip);
    EXPECT_EQ(ultimo, 100);
    EXPECT_EQ(grabador->peticiones().last().uri,
              QStringLiteral("/cgi-bin/RPC_Loadfile/mnt/dvr/mi%20carpeta/00.00.03-00.01.02%5BM%5D%5B0@0%5D%5B0%5D.dav"));

    // A file the device no longer has: its error, and no file at all.
    const Fichero ido(QStringLiteral("x.dav"), std::nullopt, 0, {}, origen(), QStringLiteral("/mnt/ido.dav"));
    EXPECT_EQ(enRed([&] { descargarDahua(ido, tmp.filePath("x.dav"), {}); }),
              QStringLiteral("la cámara no tiene esta ruta (quizá no es de esta familia)"));
    EXPECT_EQ(ficherosEn(tmp.path()), QStringList{l[0]->nombre});
}

// Seen from Madrid, a device eight hours east: its local times are read in its zone.
TEST_F(DahuaEnRed, ZonaDelEquipo) {
    ZonaHoraria madrid("Europe/Madrid");
    grabador->reloj(192, 480);
    grabador->dahua({{"2024-03-05 14:07:09", "2024-03-05 14:08:00", "/mnt/a.dav", 1, "clip.dav"}});
    Listado r;
    ASSERT_EQ(enRed([&] { r = listarDahua(origen(), QStringLiteral("Todo")); }), SIN_ERROR);
    ASSERT_EQ(r.ficheros.size(), 1);
    EXPECT_EQ(r.ficheros[0]->nombre, QStringLiteral("2024-03-05-07-07-09.dav"));
    EXPECT_NEAR(double(r.desfaseReloj.value_or(0)), 192000, 1500);
}

// The channels from the remote inputs, else the video inputs, else one, named by their titles.
TEST_F(DahuaEnRed, CanalesDeCadaClaseDeEquipo) {
    QList<ItemDahua> items;
    for (int c : {1, 2, 3})  // channels 1 and 2 start a recording in the same second
        items << ItemDahua{c == 3 ? "2024-03-05 14:08:00" : "2024-03-05 14:07:09", "2024-03-05 14:09:00",
                           QStringLiteral("/mnt/dvr/%1.dav").arg(c), 10, "clip.dav", c};
    GuionDahua remotas, entradas, ninguna;
    remotas.titulos = QStringList{"Patio", " \tCaja\x7f\r "};
    std::tie(remotas.maxRemotas, entradas.maxRemotas, entradas.entradas) = std::tuple{3, 0, 2};
    const std::pair<GuionDahua, QStringList> casos[] = {{remotas, {"1 Patio /mnt/dvr/1.dav", "2 Caja /mnt/dvr/2.dav", "3  /mnt/dvr/3.dav"}},
                                                        {entradas, {"1  /mnt/dvr/1.dav", "2  /mnt/dvr/2.dav"}},
                                                        {ninguna, {"1  /mnt/dvr/1.dav"}}};
    for (const auto& [g, esperados] : casos) {
        grabador->dahua(items, g);
        Listado l;
        ASSERT_EQ(enRed([&] { l = listarDahua(origen(), QStringLiteral("Todo")); }), SIN_ERROR);
        QStringList hallados;
        for (const FicheroPtr& f : l.ficheros) hallados << QStringLiteral("%1 %2 %3").arg(f->canal).arg(f->nombreCanal, f->dato);
        EXPECT_EQ(hallados, esperados);
    }
}

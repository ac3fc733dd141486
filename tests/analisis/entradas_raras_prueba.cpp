// Frames the player may really export and the analysis modes must not stumble on: frames
// bigger than Qt's default decoding limit, folder and file names that are not UTF-8, and
// damaged files whose codec complaints must not reach standard error.
#include "analisis/caras.h"
#include "analisis/fotograma.h"
#include "apoyo/escena.h"
#include "apoyo/nombres_crudos.h"
#include "apoyo/programa.h"
#include "comun/ejecutar.h"
#include "comun/nombres.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Records the regions it is asked about and finds one face filling the whole picture.
class Anotador : public DetectorCaras {
public:
    std::vector<QRect> vistas;
    ResultadoDeteccion detectar(const QImage& imagen, const QRect& region) override
    {
        vistas.push_back(region);
        ResultadoDeteccion r;
        if (region == imagen.rect())
            r.cajas.push_back(QRectF(0, 0, 1, 1));
        return r;
    }
};

QString recorrer(const QString& carpeta, DetectorCaras& d)
{
    QString s;
    recorrerFotogramas(carpeta, d, [&](const QString& lote) { s += lote; });
    return s;
}

// A PNG holding only its header: enough for a reader to learn the size and refuse it.
QByteArray cabeceraPng(quint32 ancho, quint32 alto)
{
    QByteArray ihdr("IHDR");
    for (quint32 v : {ancho, alto})
        for (int s = 24; s >= 0; s -= 8)
            ihdr += char((v >> s) & 0xff);
    ihdr += QByteArray("\x08\x06\x00\x00\x00", 5); // 8-bit RGBA
    quint32 crc = 0xffffffffu;
    for (const char c : ihdr) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    crc ^= 0xffffffffu;
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    png += QByteArray("\x00\x00\x00\x0d", 4) + ihdr;
    for (int s = 24; s >= 0; s -= 8)
        png += char((crc >> s) & 0xff);
    return png;
}

} // namespace

TEST(EntradasRaras, FotogramasDe8KSeLeenYLosDesmesuradosNo)
{
    QTemporaryDir dir;
    const Escena e = escenaDePrueba(320, 240, 64, 40, 11);
    const QImage grande = fotogramaGrande(e, QPoint(100, 80), QSize(8192, 4320));
    ASSERT_TRUE(grande.save(dir.filePath(QStringLiteral("000001.jpg")), "JPEG", 60));
    ASSERT_TRUE(escribirArchivo(dir.filePath(QStringLiteral("bomba.png")), cabeceraPng(16385, 16385)));

    // DCI 8K in 32-bit colour is past Qt's default 128 MB: the frame must still be read.
    EXPECT_EQ(leerFotograma(dir.filePath(QStringLiteral("000001.jpg"))).size(), QSize(8192, 4320));
    // Past 16K × 16K (1 GiB) the file is refused before anything is allocated.
    EXPECT_TRUE(leerFotograma(dir.filePath(QStringLiteral("bomba.png"))).isNull());

    Anotador d;
    EXPECT_EQ(recorrer(dir.path(), d), QStringLiteral("1 0 0 8192 4320\n"));
    ASSERT_EQ(d.vistas.size(), 5u);
    EXPECT_EQ(d.vistas.front(), QRect(0, 0, 8192, 4320));
}

TEST(EntradasRaras, SeguirUnaZonaEnFotogramasDe8K)
{
    QTemporaryDir dir;
    const Escena e = escenaDePrueba(320, 240, 64, 40, 12);
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(fotogramaGrande(e, QPoint(100 + 4 * i, 80), QSize(8192, 4320))
                        .save(dir.filePath(QString::asprintf("%06d.png", 500 + i)), "PNG"));
    const Corrida c = correr({QStringLiteral("seguir"), dir.path(), QStringLiteral("100"),
                              QStringLiteral("80"), QStringLiteral("64"), QStringLiteral("40")},
                             180000);
    ASSERT_EQ(c.estado, 0) << c.errores.toStdString();
    EXPECT_TRUE(c.salida.startsWith("501 104 80 64 40 ")) << c.salida.toStdString();
    EXPECT_EQ(leerArchivo(dir.filePath(QStringLiteral("progreso.txt"))), QByteArray("1/1"));
}

TEST(EntradasRaras, NombresQueNoSonUtf8)
{
    CarpetaCrudaTemporal raiz;
    ASSERT_FALSE(raiz.ruta().isEmpty());
    const QByteArray carpeta = raiz.ruta() + "/caf\xe9";
    ASSERT_TRUE(crearCarpetaCruda(carpeta));
    const Escena e = escenaDePrueba(320, 240, 40, 40, 13);

    // "caras": the folder is found, numbered frames are analysed, the odd name is
    // counted and skipped, and the progress lands in the folder itself.
    QImage gris(64, 48, QImage::Format_RGB32);
    gris.fill(Qt::gray);
    for (const QByteArray& nombre : {QByteArray("000007.jpg"), QByteArray("000008.jpg"),
                                     QByteArray("portada\xff.jpg")})
        ASSERT_TRUE(escribirCrudo(carpeta + '/' + nombre, codificada(gris, "JPEG")));
    Anotador d;
    EXPECT_EQ(recorrer(textoDeBytes(carpeta), d), QStringLiteral("7 0 0 64 48\n8 0 0 64 48\n"));
    EXPECT_EQ(leerCrudo(carpeta + "/progreso.txt"), QByteArray("3/3"));

    // "seguir", run as the player runs it, with the folder's bytes on its command line; the
    // second frame's name is no number, so its position stands for it.
    const QByteArray seguir = carpeta + "/seguir";
    ASSERT_TRUE(crearCarpetaCruda(seguir));
    for (const auto& [nombre, x] : {std::pair{QByteArray("000100.png"), 60},
                                    std::pair{QByteArray("000101\xff.png"), 62}}) {
        ASSERT_TRUE(escribirCrudo(seguir + '/' + nombre, codificada(fotograma(e, QPoint(x, 60)), "PNG")));
    }
    const ResultadoProceso r = ejecutar(rutaPrograma(), {QStringLiteral("seguir"), textoDeBytes(seguir),
                                                         QStringLiteral("60"), QStringLiteral("60"),
                                                         QStringLiteral("40"), QStringLiteral("40")},
                                        120.0);
    EXPECT_EQ(r.estado, 0);
    EXPECT_TRUE(r.salida.startsWith(QStringLiteral("1 62 60 40 40 "))) << r.salida.toStdString();
    EXPECT_EQ(leerCrudo(seguir + "/progreso.txt"), QByteArray("1/1"));
}

TEST(EntradasRaras, ArchivosDanadosNoEnsucianLaSalidaDeErrores)
{
    QTemporaryDir dir;
    const Escena e = escenaDePrueba(320, 240, 40, 40, 14);
    const QByteArray pngBueno = codificada(fotograma(e, QPoint(60, 60)), "PNG");
    const QByteArray jpgBueno = codificada(fotograma(e, QPoint(60, 60)), "JPEG");
    struct Caso {
        const char* modo;
        QList<std::pair<const char*, QByteArray>> archivos;
    };
    const Caso casos[] = {
        // A PNG cut short ("libpng error: Read Error") after two good frames.
        {"seguir", {{"000001.png", pngBueno}, {"000002.png", pngBueno}, {"000003.png", pngBueno.left(pngBueno.size() / 2)}}},
        // A JPEG cut short ("Corrupt JPEG data", "Premature end of JPEG file") and one that
        // is no JPEG at all.
        {"caras", {{"000001.jpg", jpgBueno.left(jpgBueno.size() / 2)}, {"000002.jpg", "no es un JPEG"}}},
    };
    for (const Caso& k : casos) {
        QTemporaryDir carpeta;
        for (const auto& [nombre, datos] : k.archivos)
            ASSERT_TRUE(escribirArchivo(carpeta.filePath(QString::fromLatin1(nombre)), datos));
        QStringList args{QString::fromLatin1(k.modo), carpeta.path()};
        if (QByteArray(k.modo) == "seguir")
            args << QStringLiteral("60") << QStringLiteral("60") << QStringLiteral("40") << QStringLiteral("40");
        const Corrida c = correr(args, 120000);
        EXPECT_EQ(c.estado, 0) << k.modo;
        EXPECT_EQ(c.errores, QByteArray()) << k.modo;
    }
}

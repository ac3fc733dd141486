// The idle background picture, rendered by the built program with no display at all.
#include "apoyo/programa.h"
#include "dialogos/fondo_imagen.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class Fondo : public ::testing::Test {
protected:
    QString ruta(const QString& nombre) const { return dir.filePath(nombre); }

    // Runs "fondo" the way the player does, but without DISPLAY: nothing may need one.
    Corrida pintar(const QStringList& args)
    {
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.remove(QStringLiteral("DISPLAY"));
        entorno.remove(QStringLiteral("WAYLAND_DISPLAY"));
        entorno.remove(QStringLiteral("QT_QPA_PLATFORM"));
        return correr(QStringList{QStringLiteral("fondo")} + args, 60000, entorno);
    }

    // Renders `foto` at W × H and reads the raw file back as an image (premultiplied BGRA
    // little-endian is exactly Qt's premultiplied ARGB32).
    QImage lienzo(const QImage& foto, int w, int h, const QStringList& extra = {})
    {
        foto.save(ruta(QStringLiteral("foto.png")));
        const Corrida c = pintar(QStringList{ruta(QStringLiteral("foto.png")), ruta(QStringLiteral("salida.raw")),
                                             QString::number(w), QString::number(h), QStringLiteral("2.4")}
                                 + extra);
        EXPECT_EQ(c.estado, 0) << c.errores.toStdString();
        EXPECT_TRUE(c.salida.isEmpty());
        QFile f(ruta(QStringLiteral("salida.raw")));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        crudo = f.readAll();
        if (crudo.size() != qsizetype(w) * h * 4)
            return {};
        return QImage(reinterpret_cast<const uchar*>(crudo.constData()), w, h, w * 4,
                      QImage::Format_ARGB32_Premultiplied);
    }

    QTemporaryDir dir;
    QByteArray crudo;
};

// Three bands across (or down) the photograph: red, green, blue.
QImage bandas(int w, int h, bool verticales, int corte1, int corte2)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int v = verticales ? x : y;
            img.setPixel(x, y, v < corte1 ? qRgb(255, 0, 0) : v < corte2 ? qRgb(0, 255, 0) : qRgb(0, 0, 255));
        }
    return img;
}

QRgb color(const QImage& img, int x, int y)
{
    return img.pixel(x, y) & 0xffffff;
}

// Rows between `desde` and `hasta` (excluded) where a pixel of x in [x0, x1) is near white.
std::pair<int, int> filasClaras(const QImage& img, int x0, int x1, int desde, int hasta)
{
    int primera = -1, ultima = -1;
    for (int y = desde; y < hasta; ++y)
        for (int x = x0; x < x1; ++x)
            if (qRed(img.pixel(x, y)) > 200 && qBlue(img.pixel(x, y)) > 200) {
                if (primera < 0)
                    primera = y;
                ultima = y;
                break;
            }
    return {primera, ultima};
}

}  // namespace

TEST(FondoTamanos, TopesYReferenciaPequena)
{
    const TamanosFondo grande = tamanosFondo(1080);
    EXPECT_EQ(grande.titulo, 46);  // 70.2 uncapped
    EXPECT_EQ(grande.subtitulo, 24);
    EXPECT_EQ(grande.producto, 20);
    const TamanosFondo pequeno = tamanosFondo(400);
    EXPECT_EQ(pequeno.titulo, 26);
    EXPECT_EQ(pequeno.subtitulo, 13);
    EXPECT_EQ(pequeno.producto, 12);
}

TEST_F(Fondo, BytesExactosYOpacoEnTodoElLienzo)
{
    // An odd width catches any row padding leaking into the file.
    const QImage img = lienzo(bandas(640, 480, true, 200, 400), 333, 187);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(crudo.size(), 333 * 187 * 4);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            ASSERT_EQ(qAlpha(img.pixel(x, y)), 255) << x << "," << y;
}

TEST_F(Fondo, UnaFotoAnchaSeCortaPorLosLados)
{
    // 400×100 on 400×400: scale 4, only source columns 150-250 stay, centred.
    const QImage img = lienzo(bandas(400, 100, true, 175, 225), 400, 400);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(color(img, 50, 100), 0xff0000u);
    EXPECT_EQ(color(img, 200, 100), 0x00ff00u);
    EXPECT_EQ(color(img, 350, 100), 0x0000ffu);
}

TEST_F(Fondo, UnaFotoAltaSeCortaArribaYAbajo)
{
    // 100×400 on 400×400: scale 4, only source rows 150-250 stay; the texts sit low and
    // right of x = 24, so the left edge of the bottom band is clear of them.
    const QImage img = lienzo(bandas(100, 400, false, 175, 225), 400, 400);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(color(img, 200, 50), 0xff0000u);
    EXPECT_EQ(color(img, 200, 200), 0x00ff00u);
    EXPECT_EQ(color(img, 10, 395), 0x0000ffu);
}

TEST_F(Fondo, TextosDondeYDelTamanoQueTocan)
{
    QImage negro(64, 36, QImage::Format_RGB32);
    negro.fill(Qt::black);
    const QImage alto = lienzo(negro, 1920, 1080);
    ASSERT_FALSE(alto.isNull());
    // Nothing drawn above the title, which starts at y = floor(1080 × 0.74) = 799.
    EXPECT_EQ(filasClaras(alto, 0, 1920, 0, 795).first, -1);
    // The title's ink lies between its top and the subtitle's top (799 + 46 + 10).
    const auto [t0, t1] = filasClaras(alto, 115, 1100, 795, 855);
    ASSERT_GE(t0, 799);
    const int tituloGrande = t1 - t0;
    EXPECT_GT(tituloGrande, 30);
    // Nothing left of the margin floor(1920 × 0.06) = 115.
    EXPECT_EQ(filasClaras(alto, 0, 113, 0, 1080).first, -1);
    // The product line is light blue in the lower right corner, above the bottom margin.
    bool azulClaro = false;
    for (int y = 1080 - 60; y < 1080 - 43 && !azulClaro; ++y)
        for (int x = 1500; x < 1920 - 57 && !azulClaro; ++x) {
            const QRgb p = alto.pixel(x, y);
            azulClaro = qBlue(p) > 180 && qGreen(p) > 160 && qRed(p) < 150;
        }
    EXPECT_TRUE(azulClaro);

    // The same canvas with F = 400 draws a title of 26 px instead of 46.
    const QImage bajo = lienzo(negro, 1920, 1080, {QStringLiteral("400")});
    const auto [b0, b1] = filasClaras(bajo, 115, 1100, 795, 835);
    ASSERT_GE(b0, 799);
    EXPECT_LT(b1 - b0, tituloGrande * 0.7);
}

TEST_F(Fondo, UnaReferenciaQueNoEsEnteraValeComoLaAltura)
{
    const QImage foto = bandas(300, 200, true, 100, 200);
    lienzo(foto, 300, 200, {QStringLiteral("200")});
    const QByteArray conAltura = crudo;
    lienzo(foto, 300, 200, {QStringLiteral("abc")});
    EXPECT_EQ(crudo, conAltura);
}

TEST_F(Fondo, ArgumentosMalosNoEscribenNada)
{
    bandas(64, 64, true, 20, 40).save(ruta(QStringLiteral("foto.png")));
    const QString foto = ruta(QStringLiteral("foto.png"));
    const QString salida = ruta(QStringLiteral("salida.raw"));
    const auto estado = [&](const QStringList& args) {
        const Corrida c = pintar(args);
        EXPECT_TRUE(c.salida.isEmpty());
        return c.estado;
    };
    EXPECT_EQ(estado({foto, salida, QStringLiteral("10"), QStringLiteral("10")}), 64);
    for (const char* ancho : {"0", "-5", "abc", "", "1.5"})
        EXPECT_EQ(estado({foto, salida, QString::fromLatin1(ancho), QStringLiteral("10"), QStringLiteral("v")}), 64)
            << ancho;
    EXPECT_EQ(estado({foto, salida, QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("v")}), 64);

    QFile basura(ruta(QStringLiteral("basura.jpg")));
    ASSERT_TRUE(basura.open(QIODevice::WriteOnly));
    basura.write("esto no es una imagen");
    basura.close();
    EXPECT_EQ(estado({basura.fileName(), salida, QStringLiteral("10"), QStringLiteral("10"), QStringLiteral("v")}), 64);
    EXPECT_EQ(estado({ruta(QStringLiteral("no-existe.png")), salida, QStringLiteral("10"), QStringLiteral("10"),
                      QStringLiteral("v")}),
              64);
    EXPECT_FALSE(QFile::exists(salida));

    EXPECT_EQ(estado({foto, ruta(QStringLiteral("falta/salida.raw")), QStringLiteral("10"), QStringLiteral("10"),
                      QStringLiteral("v")}),
              1);
    EXPECT_FALSE(QFile::exists(ruta(QStringLiteral("falta"))));
}

TEST_F(Fondo, UnArchivoAnteriorSeSustituyeEntero)
{
    QFile viejo(ruta(QStringLiteral("salida.raw")));
    ASSERT_TRUE(viejo.open(QIODevice::WriteOnly));
    viejo.write(QByteArray(100000, 'x'));
    viejo.close();
    lienzo(bandas(64, 64, true, 20, 40), 20, 10);
    EXPECT_EQ(crudo.size(), 20 * 10 * 4);
}

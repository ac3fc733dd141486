// The idle background picture, run as the player runs it: no display at all.
#include "apoyo/programa.h"
#include "apoyo/rostros.h"
#include "dialogos/fondo_imagen.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QProcessEnvironment sinPantalla()
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.remove(QStringLiteral("DISPLAY"));
    e.remove(QStringLiteral("WAYLAND_DISPLAY"));
    e.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return e;
}

struct Pixel {
    int b, g, r, a;
};

class Fondo : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString ruta(const QString& nombre) const { return QDir(dir.path()).filePath(nombre); }

    // Columns (or rows) painted in equal bands of the given colours.
    QString bandas(const QString& nombre, int w, int h, const QList<QColor>& colores, bool verticales)
    {
        QImage img(w, h, QImage::Format_RGB32);
        QPainter p(&img);
        const int n = static_cast<int>(colores.size());
        for (int i = 0; i < n; ++i) {
            if (verticales)
                p.fillRect(i * w / n, 0, w / n, h, colores[i]);
            else
                p.fillRect(0, i * h / n, w, h / n, colores[i]);
        }
        p.end();
        const QString r = ruta(nombre);
        img.save(r, "PNG");
        return r;
    }

    QString liso(const QString& nombre, const QColor& c)
    {
        return bandas(nombre, 320, 180, {c}, true);
    }

    Corrida fondo(const QStringList& args, int limiteMs = 60000)
    {
        return correr(QStringList{"fondo"} + args, limiteMs, sinPantalla());
    }
};

Pixel en(const QByteArray& datos, int w, int x, int y)
{
    const auto* p = reinterpret_cast<const uchar*>(datos.constData()) + (qsizetype(y) * w + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

bool parecido(const Pixel& p, const QColor& c, int tolerancia = 6)
{
    return std::abs(p.r - c.red()) <= tolerancia && std::abs(p.g - c.green()) <= tolerancia
        && std::abs(p.b - c.blue()) <= tolerancia && p.a == 255;
}

bool claro(const Pixel& p)
{
    return p.r > 150 && p.g > 150 && p.b > 150;
}

} // namespace

TEST(TamanosTexto, TopadosYProporcionales)
{
    const TamanosTexto grande = tamanosTexto(1080);
    EXPECT_EQ(grande.titulo, 46);
    EXPECT_EQ(grande.subtitulo, 24);
    EXPECT_EQ(grande.producto, 20);
    const TamanosTexto medio = tamanosTexto(400);
    EXPECT_EQ(medio.titulo, 26);
    EXPECT_EQ(medio.subtitulo, 13);
    EXPECT_EQ(medio.producto, 12);
    const TamanosTexto minimo = tamanosTexto(10);
    EXPECT_EQ(minimo.titulo, 0);
    EXPECT_EQ(minimo.producto, 0);
}

TEST_F(Fondo, TamanoExactoOpacoYSinSalida)
{
    const QString salida = ruta("fondo.raw");
    const Corrida c = fondo({liso("foto.png", QColor(40, 90, 140)), salida, "333", "217", "1.2.3"});
    ASSERT_EQ(c.estado, 0) << c.errores.constData();
    EXPECT_TRUE(c.salida.isEmpty());
    const QByteArray datos = leerArchivo(salida);
    ASSERT_EQ(datos.size(), 333 * 217 * 4);
    for (qsizetype i = 3; i < datos.size(); i += 4)
        ASSERT_EQ(uchar(datos[i]), 255) << "píxel " << i / 4;
    // Blue first in memory: the photo's colour appears as B, G, R.
    EXPECT_TRUE(parecido(en(datos, 333, 5, 5), QColor(40, 90, 140)));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << "no temporary file left";
}

TEST_F(Fondo, AnchaSeRecortaPorLosLados)
{
    // 800×200 into 200×100: scaled by 0.5 to 400×100, 100 columns cut on each side,
    // so only the two middle bands remain, one on each half.
    const QList<QColor> c{Qt::red, Qt::green, Qt::blue, Qt::yellow};
    const QString salida = ruta("ancha.raw");
    const Corrida r = fondo({bandas("ancha.png", 800, 200, c, true), salida, "200", "100", "1", "1"});
    ASSERT_EQ(r.estado, 0) << r.errores.constData();
    const QByteArray d = leerArchivo(salida);
    ASSERT_EQ(d.size(), 200 * 100 * 4);
    for (int y : {0, 50, 99}) {
        EXPECT_TRUE(parecido(en(d, 200, 0, y), Qt::green));
        EXPECT_TRUE(parecido(en(d, 200, 95, y), Qt::green));
        EXPECT_TRUE(parecido(en(d, 200, 105, y), Qt::blue));
        EXPECT_TRUE(parecido(en(d, 200, 199, y), Qt::blue));
    }
}

TEST_F(Fondo, AltaSeRecortaArribaYAbajo)
{
    // 100×400 into 200×100: scaled by 2 to 200×800, 350 rows cut above and below.
    const QList<QColor> c{Qt::red, Qt::green, Qt::blue, Qt::yellow};
    const QString salida = ruta("alta.raw");
    const Corrida r = fondo({bandas("alta.png", 100, 400, c, false), salida, "200", "100", "1", "1"});
    ASSERT_EQ(r.estado, 0) << r.errores.constData();
    const QByteArray d = leerArchivo(salida);
    ASSERT_EQ(d.size(), 200 * 100 * 4);
    for (int x : {0, 100, 199}) {
        EXPECT_TRUE(parecido(en(d, 200, x, 0), Qt::green));
        EXPECT_TRUE(parecido(en(d, 200, x, 45), Qt::green));
        EXPECT_TRUE(parecido(en(d, 200, x, 55), Qt::blue));
        EXPECT_TRUE(parecido(en(d, 200, x, 99), Qt::blue));
    }
}

TEST_F(Fondo, ProporcionExtremaCubreSinDesbordar)
{
    // A 6000×2 strip at 3000×2000 would be a 6-million-pixel-wide scaled copy if the
    // whole photo were scaled; only its middle third shows, and every edge is opaque.
    const QList<QColor> c{Qt::red, Qt::green, Qt::blue};
    const QString salida = ruta("tira.raw");
    const Corrida r = fondo({bandas("tira.png", 6000, 2, c, true), salida, "3000", "2000", "1", "1"}, 20000);
    ASSERT_EQ(r.estado, 0) << r.errores.constData();
    const QByteArray d = leerArchivo(salida);
    ASSERT_EQ(d.size(), 3000 * 2000 * 4);
    for (int y : {0, 1000, 1999})
        for (int x : {0, 1500, 2999})
            EXPECT_TRUE(parecido(en(d, 3000, x, y), Qt::green)) << x << "," << y;
}

TEST_F(Fondo, TextosDondeDeben)
{
    // Dark uniform photo: light pixels can only come from the texts.
    const int w = 1280, h = 720;
    const QString salida = ruta("textos.raw");
    const Corrida r = fondo({liso("oscura.png", QColor(20, 20, 20)), salida, "1280", "720", "9.9", "1080"});
    ASSERT_EQ(r.estado, 0) << r.errores.constData();
    const QByteArray d = leerArchivo(salida);
    ASSERT_EQ(d.size(), w * h * 4);

    const int x = 76, y = 532; // floor(1280 × 0.06), floor(720 × 0.74)
    int titulo = 0, subtitulo = 0, producto = 0, fuera = 0;
    int arribaTitulo = h, abajoTitulo = 0;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const Pixel p = en(d, w, i, j);
            const bool cian = p.b > 150 && p.g > 120 && p.r < 110;
            if (claro(p) && i >= x && i < w * 7 / 10 && j >= y && j < y + 46 + 10) {
                ++titulo;
                arribaTitulo = std::min(arribaTitulo, j);
                abajoTitulo = std::max(abajoTitulo, j);
            } else if (claro(p) && i >= x && j >= y + 46 + 10 && j < y + 46 + 10 + 30) {
                ++subtitulo;
            } else if (cian && i > w / 2 && j > h - 60) {
                ++producto;
            } else if (claro(p) || cian) {
                ++fuera;
            }
        }
    EXPECT_GT(titulo, 1000);
    EXPECT_GT(subtitulo, 500);
    EXPECT_GT(producto, 200);
    EXPECT_EQ(fuera, 0);
    // A 46-pixel bold title (its descenders reach into the 10-pixel gap): capitals and
    // ascenders fill well over half the size.
    EXPECT_GT(abajoTitulo - arribaTitulo, 25);
    // Placed by the top of its line: the capitals start just under Y, not above it.
    EXPECT_GE(arribaTitulo, y);
    EXPECT_LT(arribaTitulo, y + 12);
    // Nothing to the left of the margin.
    for (int j = y; j < y + 46; ++j)
        for (int i = 0; i < x - 1; ++i)
            ASSERT_FALSE(claro(en(d, w, i, j))) << i << "," << j;
}

TEST_F(Fondo, SombraVisibleSobreBlanco)
{
    // White text on a white photo only shows through its shadow.
    const QString salida = ruta("blanca.raw");
    const Corrida r = fondo({liso("blanca.png", Qt::white), salida, "800", "400", "1", "400"});
    ASSERT_EQ(r.estado, 0);
    const QByteArray d = leerArchivo(salida);
    int oscuros = 0;
    for (int j = 296; j < 296 + 30; ++j)
        for (int i = 48; i < 400; ++i)
            oscuros += en(d, 800, i, j).r < 200;
    EXPECT_GT(oscuros, 100);
    EXPECT_TRUE(parecido(en(d, 800, 400, 50), Qt::white));
}

TEST_F(Fondo, ArgumentosMalos)
{
    const QString foto = liso("foto.png", Qt::gray);
    const QString salida = ruta("no.raw");
    EXPECT_EQ(fondo({foto, salida, "10", "10"}).estado, 64);
    for (const char* ancho : {"0", "-5", "abc", "", "1.5"})
        EXPECT_EQ(fondo({foto, salida, ancho, "10", "1"}).estado, 64) << ancho;
    EXPECT_EQ(fondo({foto, salida, "10", "0", "1"}).estado, 64);
    EXPECT_FALSE(QFile::exists(salida));
}

TEST_F(Fondo, ImagenIlegible)
{
    const QString basura = ruta("basura.jpg");
    QFile f(basura);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\xff\xd8\xff\xe0 esto no es una foto");
    f.close();
    const QString salida = ruta("no.raw");
    EXPECT_EQ(fondo({basura, salida, "10", "10", "1"}).estado, 64);
    EXPECT_EQ(fondo({ruta("no-existe.png"), salida, "10", "10", "1"}).estado, 64);
    EXPECT_FALSE(QFile::exists(salida));
}

TEST_F(Fondo, SalidaNoEscribible)
{
    const QString foto = liso("foto.png", Qt::gray);
    const QString salida = ruta("falta/fondo.raw");
    EXPECT_EQ(fondo({foto, salida, "10", "10", "1"}).estado, 1);
    EXPECT_FALSE(QDir(ruta("falta")).exists());
    // A surface no machine can hold: no result, not a crash.
    EXPECT_EQ(fondo({foto, ruta("enorme.raw"), "100000", "100000", "1"}).estado, 1);
    EXPECT_FALSE(QFile::exists(ruta("enorme.raw")));
}

TEST_F(Fondo, ReemplazaEntero)
{
    const QString salida = ruta("previo.raw");
    QFile f(salida);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(100000, 'x'));
    f.close();
    ASSERT_EQ(fondo({liso("foto.png", Qt::gray), salida, "20", "10", "1"}).estado, 0);
    const QByteArray d = leerArchivo(salida);
    ASSERT_EQ(d.size(), 20 * 10 * 4);
    EXPECT_FALSE(d.contains('x'));
}

TEST_F(Fondo, CercaDelEscaladoSuaveDeQt)
{
    // The photo is scaled by OpenCV now; it must stay close to what Qt's smooth scaling of
    // the visible part drew before, enlarging, shrinking a little (bilinear), shrinking
    // more (area averaging), and with transparency (premultiplied). Only the rows above
    // the title are compared: the texts are drawn alike over either.
    QImage foto(rutaFotoRostro()); // 512×600 JPEG
    ASSERT_FALSE(foto.isNull());
    QImage conAlfa = foto.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < conAlfa.height(); ++y)
        for (int x = 0; x < conAlfa.width(); ++x)
            conAlfa.setPixel(x, y, (conAlfa.pixel(x, y) & 0xffffff) | uint(128 + x / 4) << 24);
    ASSERT_TRUE(conAlfa.save(ruta("alfa.png")));
    struct Caso {
        QString foto;
        int w, h;
    };
    for (const Caso& c : {Caso{rutaFotoRostro(), 1000, 700}, Caso{rutaFotoRostro(), 500, 300},
                          Caso{rutaFotoRostro(), 400, 300}, Caso{ruta("alfa.png"), 700, 400}}) {
        const QImage original(c.foto);
        const double s = std::max(double(c.w) / original.width(), double(c.h) / original.height());
        const Tramo x = tramoVisible(c.w, original.width(), s), y = tramoVisible(c.h, original.height(), s);
        QImage antes(c.w, c.h, QImage::Format_ARGB32_Premultiplied);
        antes.fill(Qt::transparent);
        QPainter p(&antes);
        p.drawImage(QPoint(x.destino, y.destino), original.copy(x.desde, y.desde, x.hasta - x.desde, y.hasta - y.desde)
                                                      .scaled(x.largo, y.largo, Qt::IgnoreAspectRatio,
                                                              Qt::SmoothTransformation));
        p.end();
        const QString salida = ruta("cerca.raw");
        ASSERT_EQ(fondo({c.foto, salida, QString::number(c.w), QString::number(c.h), "1"}).estado, 0);
        const QByteArray d = leerArchivo(salida);
        ASSERT_EQ(d.size(), c.w * c.h * 4);
        int maximo = 0;
        double suma = 0;
        const int filas = c.h * 7 / 10;
        for (int j = 0; j < filas; ++j)
            for (int k = 0; k < c.w * 4; ++k) {
                const int dif = std::abs(int(antes.constScanLine(j)[k]) - int(uchar(d[(qsizetype(j) * c.w * 4) + k])));
                maximo = std::max(maximo, dif);
                suma += dif;
            }
        // Measured: at most 3 levels apart, 0.59 on average enlarging, 0.18 to 0.37 otherwise.
        EXPECT_LE(maximo, 12) << c.w << "x" << c.h;
        EXPECT_LE(suma / (double(filas) * c.w * 4), 0.8) << c.w << "x" << c.h;
    }
}

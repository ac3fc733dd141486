// Frame analysis of mode "caras" with a scripted detector, and the program's command line.
#include "analisis/caras.h"
#include "apoyo/programa.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <tuple>
#include <gtest/gtest.h>

namespace {

class Guion : public DetectorCaras {
public:
    std::vector<QRect> vistas;
    std::function<ResultadoDeteccion(const QRect&)> respuesta;
    ResultadoDeteccion detectar(const QImage&, const QRect& region) override
    {
        vistas.push_back(region);
        return respuesta ? respuesta(region) : ResultadoDeteccion{};
    }
};

ResultadoDeteccion cajas(std::vector<QRectF> c)
{
    ResultadoDeteccion r;
    r.cajas = std::move(c);
    return r;
}

void guardar(const QString& carpeta, const QString& nombre, int w = 64, int h = 48)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::gray);
    ASSERT_TRUE(img.save(QDir(carpeta).filePath(nombre), "JPEG"));
}

QString leerProgreso(const QString& carpeta)
{
    return QString::fromLatin1(leerArchivo(QDir(carpeta).filePath(QStringLiteral("progreso.txt"))));
}

QString todo(const QString& carpeta, DetectorCaras& d)
{
    QString s;
    recorrerFotogramas(carpeta, d, [&](const QString& lote) { s += lote; });
    return s;
}

// Frame i is 16 + i pixels wide: one box on the whole picture, or a failure every third
// frame. With a meeting point, frame 0 waits until frame 1 is done, so frames side by side
// finish out of order.
struct Cita {
    std::mutex m;
    std::condition_variable cv;
    bool unoHecho = false;
};

class PorAncho : public DetectorCaras {
public:
    explicit PorAncho(Cita* cita = nullptr)
        : cita_(cita)
    {
    }
    ResultadoDeteccion detectar(const QImage& img, const QRect& region) override
    {
        if (region != img.rect())
            return {};
        const int i = img.width() - 16;
        if (cita_ && i == 0) {
            std::unique_lock<std::mutex> l(cita_->m);
            cita_->cv.wait_for(l, std::chrono::seconds(30), [&] { return cita_->unoHecho; });
        }
        ResultadoDeteccion r = cajas({QRectF(0, 0, 0.5, 0.5)});
        if (i % 3 == 2) {
            r.ok = false;
            r.error = QStringLiteral("fallo de prueba");
        }
        if (cita_ && i == 1) {
            const std::lock_guard<std::mutex> l(cita_->m);
            cita_->unoHecho = true;
            cita_->cv.notify_all();
        }
        return r;
    }

private:
    Cita* cita_;
};

} // namespace

TEST(Caras, VariosFotogramasALaVezDanLoMismoQueUnoTrasOtro)
{
    QTemporaryDir t;
    for (int i = 0; i < 25; ++i)
        guardar(t.path(), QString::asprintf("%06d.jpg", i), 16 + i, 16);
    // Lines, the progress file at each batch and the standard-error lines.
    const auto recorrido = [&](const std::function<void(const std::function<void(const QString&)>&)>& recorrer) {
        QString lineas;
        QStringList progresos;
        testing::internal::CaptureStderr();
        recorrer([&](const QString& lote) {
            lineas += lote;
            progresos << leerProgreso(t.path());
        });
        return std::tuple{lineas, progresos, testing::internal::GetCapturedStderr()};
    };
    PorAncho solo;
    const auto uno = recorrido([&](const auto& entregar) { recorrerFotogramas(t.path(), solo, entregar); });
    Cita cita;
    const auto dos = recorrido([&](const auto& entregar) {
        recorrerFotogramas(t.path(), 2, [&](int) { return std::make_unique<PorAncho>(&cita); }, entregar);
    });
    EXPECT_TRUE(cita.unoHecho);
    EXPECT_EQ(std::get<1>(dos), QStringList({"10/25", "20/25", "25/25"}));
    EXPECT_TRUE(std::get<0>(dos).startsWith(QStringLiteral("0 0 8 8 8\n1 0 8 9 8\n3 0 8 10 8\n")));
    EXPECT_TRUE(std::get<2>(dos).starts_with("000002.jpg: fallo de prueba\n000005.jpg: fallo de prueba\n"));
    EXPECT_EQ(uno, dos);
}

TEST(Caras, RegionesDeUnFotograma1080pEnOrden)
{
    Guion g;
    QImage img(1920, 1080, QImage::Format_RGB32);
    img.fill(Qt::black);
    carasDeImagen(img, QStringLiteral("a.jpg"), g);
    const std::vector<QRect> esperadas = {QRect(0, 0, 1920, 1080), QRect(0, 0, 1113, 626),
                                          QRect(807, 0, 1113, 626), QRect(0, 454, 1113, 626),
                                          QRect(807, 454, 1113, 626)};
    EXPECT_EQ(g.vistas, esperadas);
}

TEST(Caras, CajaNormalizadaAPixelesDesdeAbajo)
{
    QTemporaryDir t;
    guardar(t.path(), QStringLiteral("000007.jpg"), 1000, 800);
    Guion g;
    g.respuesta = [](const QRect& r) {
        return r.width() == 1000 ? cajas({QRectF(0.25, 0.5, 0.1, 0.2)}) : ResultadoDeteccion{};
    };
    EXPECT_EQ(todo(t.path(), g), QStringLiteral("7 250 240 100 160\n"));
}

TEST(Caras, CaraEnTodoYEnEsquinaSaleUnaVezConElRectanguloDelTodo)
{
    QImage img(1920, 1080, QImage::Format_RGB32);
    img.fill(Qt::black);
    Guion g;
    // A face at (100, 100, 50, 60) of the frame; the top-left crop sees it slightly shifted.
    g.respuesta = [](const QRect& r) {
        if (r == QRect(0, 0, 1920, 1080))
            return cajas({QRectF(100.0 / 1920, 1.0 - 160.0 / 1080, 50.0 / 1920, 60.0 / 1080)});
        if (r == QRect(0, 0, 1113, 626))
            return cajas({QRectF(104.0 / 1113, 1.0 - 162.0 / 626, 50.0 / 1113, 60.0 / 626)});
        return ResultadoDeteccion{};
    };
    const std::vector<QRectF> c = carasDeImagen(img, QStringLiteral("a.jpg"), g);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_NEAR(c[0].x(), 100.0, 1e-6);
    EXPECT_NEAR(c[0].y(), 100.0, 1e-6);
}

TEST(Caras, PruebaDeDuplicado)
{
    const QRectF a(0, 0, 100, 100);
    EXPECT_FALSE(esDuplicada(a, QRectF(70, 0, 100, 100)));  // exactly 30 %
    EXPECT_TRUE(esDuplicada(a, QRectF(69, 0, 100, 100)));   // 31 %
    EXPECT_FALSE(esDuplicada(a, QRectF(100, 0, 100, 100))); // touching edge
    EXPECT_FALSE(esDuplicada(a, QRectF(0, 100, 100, 100)));
    EXPECT_TRUE(esDuplicada(a, QRectF(40, 40, 20, 20)));    // small one inside the big one
    EXPECT_TRUE(esDuplicada(QRectF(40, 40, 20, 20), a));
}

TEST(Caras, DosCarasPocoSolapadasSeImprimenAmbas)
{
    QTemporaryDir t;
    guardar(t.path(), QStringLiteral("000001.jpg"), 1000, 1000);
    Guion g;
    g.respuesta = [](const QRect& r) {
        return r.width() == 1000 ? cajas({QRectF(0.0, 0.0, 0.1, 0.1), QRectF(0.07, 0.0, 0.1, 0.1),
                                          QRectF(0.17, 0.0, 0.1, 0.1)})
                                 : ResultadoDeteccion{};
    };
    EXPECT_EQ(todo(t.path(), g), QStringLiteral("1 0 900 100 100\n1 70 900 100 100\n1 170 900 100 100\n"));
}

TEST(Caras, NombresNumerosYProgreso)
{
    QTemporaryDir t;
    guardar(t.path(), QStringLiteral("000120.jpg"));
    guardar(t.path(), QStringLiteral("000121.JPG"));
    guardar(t.path(), QStringLiteral("portada.jpg"));
    guardar(t.path(), QStringLiteral("000122.png"));
    QFile roto(QDir(t.path()).filePath(QStringLiteral("000119.jpg")));
    ASSERT_TRUE(roto.open(QIODevice::WriteOnly));
    roto.write("esto no es un JPEG");
    roto.close();
    Guion g;
    g.respuesta = [](const QRect& r) { return r.x() == 0 && r.y() == 0 && r.width() == 64 ? cajas({QRectF(0, 0, 0.5, 0.5)}) : ResultadoDeteccion{}; };
    EXPECT_EQ(todo(t.path(), g), QStringLiteral("120 0 24 32 24\n121 0 24 32 24\n"));
    EXPECT_EQ(leerProgreso(t.path()), QStringLiteral("4/4"));
}

TEST(Caras, VeinticincoFotogramasEnTresLotes)
{
    QTemporaryDir t;
    for (int i = 1; i <= 25; ++i)
        guardar(t.path(), QString::asprintf("%06d.jpg", i), 16, 16);
    Guion g;
    g.respuesta = [](const QRect& r) { return r.width() == 16 ? cajas({QRectF(0, 0, 1, 1)}) : ResultadoDeteccion{}; };
    QStringList progresos;
    QList<int> lineas;
    const int n = recorrerFotogramas(t.path(), g, [&](const QString& lote) {
        progresos << leerProgreso(t.path());
        lineas << static_cast<int>(lote.count(QLatin1Char('\n')));
    });
    EXPECT_EQ(n, 25);
    EXPECT_EQ(progresos, QStringList({"10/25", "20/25", "25/25"}));
    EXPECT_EQ(lineas, QList<int>({10, 10, 5}));
}

TEST(Caras, DetectorQueFallaEnUnaRegion)
{
    QImage img(1000, 1000, QImage::Format_RGB32);
    img.fill(Qt::black);
    Guion g;
    g.respuesta = [](const QRect& r) {
        if (r.width() == 1000) {
            ResultadoDeteccion e;
            e.ok = false;
            e.error = QStringLiteral("fallo de prueba");
            return e;
        }
        return r.x() == 0 && r.y() == 0 ? cajas({QRectF(0, 0, 0.1, 0.1)}) : ResultadoDeteccion{};
    };
    testing::internal::CaptureStderr();
    const std::vector<QRectF> c = carasDeImagen(img, QStringLiteral("000003.jpg"), g);
    const std::string errores = testing::internal::GetCapturedStderr();
    EXPECT_EQ(errores, "000003.jpg: fallo de prueba\n");
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(g.vistas.size(), 5u);
}

TEST(CarasPrograma, LineaDeOrdenes)
{
    const Corrida sin = correr({QStringLiteral("caras")});
    EXPECT_EQ(sin.estado, 64);
    EXPECT_TRUE(sin.salida.isEmpty());

    const Corrida falta = correr({QStringLiteral("caras"), QStringLiteral("/no/existe/carpeta")});
    EXPECT_EQ(falta.estado, 0);
    EXPECT_TRUE(falta.salida.isEmpty());

    QTemporaryDir vacia;
    const Corrida nada = correr({QStringLiteral("caras"), vacia.path()});
    EXPECT_EQ(nada.estado, 0);
    EXPECT_TRUE(nada.salida.isEmpty());
}

TEST(CarasPrograma, UnModeloQueFaltaOEstaDanadoTerminaConUnoAntesDeLeerFotogramas)
{
    // "No faces" from a detector that never ran would make the player write an
    // "anonymised" copy with nothing covered: the run must fail, once, up front.
    struct Caso {
        const char* nombre;
        QByteArray modelo; // written beside the program; empty: no model at all
        const char* linea;
    };
    const Caso casos[] = {
        {"sin modelo", QByteArray(), "no se encuentra el modelo de detección de caras"},
        {"modelo dañado", QByteArray(4096, 'x'), "el modelo de detección de caras no es el esperado"},
    };
    for (const Caso& k : casos) {
        if (k.modelo.isEmpty() && QFile::exists(QStringLiteral(ZORV_DATOS_INSTALADOS_PRUEBA)))
            continue; // the installed model would be found
        // A copy of the program in a folder of its own, where the model is looked for first.
        QTemporaryDir t;
        const QString copia = QDir(t.path()).filePath(QStringLiteral("zorv-ventanas"));
        ASSERT_TRUE(QFile::copy(rutaPrograma(), copia));
        if (!k.modelo.isEmpty()) {
            ASSERT_TRUE(escribirArchivo(QDir(t.path()).filePath(QStringLiteral(
                                            "face_detection_back_256x256_barracuda.onnx")),
                                        k.modelo));
        }
        const QString carpeta = QDir(t.path()).filePath(QStringLiteral("f"));
        QDir().mkpath(carpeta);
        for (int i = 1; i <= 12; ++i)
            guardar(carpeta, QString::asprintf("%06d.jpg", i), 320, 240);
        QProcess p;
        p.start(copia, {QStringLiteral("caras"), carpeta});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 1) << k.nombre;
        EXPECT_TRUE(p.readAllStandardOutput().isEmpty()) << k.nombre;
        const QStringList lineas =
            QString::fromUtf8(p.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lineas.size(), 1) << k.nombre << ": " << lineas.join('|').toStdString();
        EXPECT_TRUE(lineas[0].startsWith(QString::fromUtf8(k.linea))) << qPrintable(lineas[0]);
        EXPECT_FALSE(QFile::exists(QDir(carpeta).filePath(QStringLiteral("progreso.txt")))) << k.nombre;
    }
}

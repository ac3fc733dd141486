// One "fondo" run at 3840×2160 from a 12-megapixel JPEG photo, process start to exit, as
// the player pays it each time its video area changes size, against its floor measured in
// the same run: djpeg decoding the same file (goal: at most 3 times it, peak memory at
// most 120 MiB). Also how far the picture is from the one Qt's smooth scaling drew before
// (the photo's visible part scaled, painted at whole pixels, the same texts).
//
//   banco-fondo [rounds]
#include "apoyo/programa.h"
#include "dialogos/fondo_imagen.h"
#include "medidas.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Gradients and noise so the JPEG decodes at a realistic cost.
QImage fotoDePrueba(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor(30, 60, 110));
    g.setColorAt(1, QColor(200, 150, 80));
    p.fillRect(img.rect(), g);
    p.end();
    quint32 semilla = 12345;
    for (int y = 0; y < h; ++y) {
        auto* fila = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            semilla = semilla * 1664525u + 1013904223u;
            const int d = int(semilla >> 27) - 16;
            const QRgb c = fila[x];
            fila[x] = qRgb(std::clamp(qRed(c) + d, 0, 255), std::clamp(qGreen(c) + d, 0, 255),
                           std::clamp(qBlue(c) + d, 0, 255));
        }
    }
    return img;
}

// The picture as the mode drew it before: the visible part scaled by Qt's smooth filter,
// painted over a transparent canvas at whole pixels, then the texts.
QImage comoAntes(const QImage& foto, int w, int h, const QString& version)
{
    const double s = std::max(double(w) / foto.width(), double(h) / foto.height());
    const Tramo x = tramoVisible(w, foto.width(), s);
    const Tramo y = tramoVisible(h, foto.height(), s);
    const QImage parte = foto.copy(x.desde, y.desde, x.hasta - x.desde, y.hasta - y.desde);
    QImage lienzo(w, h, QImage::Format_ARGB32_Premultiplied);
    lienzo.fill(Qt::transparent);
    QPainter p(&lienzo);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    p.drawImage(QPoint(x.destino, y.destino),
                parte.scaled(x.largo, y.largo, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    dibujarTextos(p, w, h, version, h);
    p.end();
    return lienzo;
}

double mediana(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Wall milliseconds and CPU seconds of one run of `programa`; false when it failed.
bool correrUna(const QString& programa, const QStringList& args, double& ms, double& cpu)
{
    const double cpu0 = cpuHijos();
    QElapsedTimer reloj;
    reloj.start();
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(programa, args);
    p.waitForFinished(-1);
    ms = static_cast<double>(reloj.nsecsElapsed()) / 1e6;
    cpu = cpuHijos() - cpu0;
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int rondas = argc > 1 ? std::atoi(argv[1]) : 15;
    const int w = 3840, h = 2160;
    const QString version = QStringLiteral("2.5.1");
    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    if (djpeg.isEmpty()) {
        std::printf("falta djpeg (paquete libjpeg-turbo-progs), el suelo de esta medida\n");
        return 1;
    }
    QTemporaryDir dir;
    const QString foto = QDir(dir.path()).filePath(QStringLiteral("foto.jpg"));
    const QString salida = QDir(dir.path()).filePath(QStringLiteral("fondo.raw"));
    if (!fotoDePrueba(4000, 3000).save(foto, "JPG", 90))
        return 1;

    const QString carga0 = cargaMedia();
    std::vector<double> ms, msSuelo;
    double cpu = 0, cpuSuelo = 0;
    long pico = 0;
    // Turn by turn, so both see the same load.
    for (int r = 0; r < rondas; ++r) {
        double t = 0, c = 0;
        if (!correrUna(rutaPrograma(), {"fondo", foto, salida, QString::number(w), QString::number(h), version}, t, c) ||
            QFileInfo(salida).size() != qint64(w) * h * 4) {
            std::printf("el modo falló\n");
            return 1;
        }
        pico = std::max(pico, picoHijosKiB());
        ms.push_back(t);
        cpu += c;
        if (!correrUna(djpeg, {"-outfile", "/dev/null", foto}, t, c)) {
            std::printf("djpeg falló\n");
            return 1;
        }
        msSuelo.push_back(t);
        cpuSuelo += c;
    }

    QFile f(salida);
    if (!f.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray hecho = f.readAll();
    const QImage antes = comoAntes(QImage(foto), w, h, version);
    int maximo = 0;
    double suma = 0;
    for (int y = 0; y < h; ++y) {
        const uchar* a = antes.constScanLine(y);
        const auto* b = reinterpret_cast<const uchar*>(hecho.constData()) + qsizetype(y) * w * 4;
        for (int k = 0; k < w * 4; ++k) {
            const int d = std::abs(int(a[k]) - int(b[k]));
            maximo = std::max(maximo, d);
            suma += d;
        }
    }
    const double m = mediana(ms), mSuelo = mediana(msSuelo);
    std::printf("fondo %dx%d desde una foto JPEG 4000x3000, %d rondas; carga media %s antes, %s despues\n", w, h,
                rondas, qPrintable(carga0), qPrintable(cargaMedia()));
    std::printf("  modo completo: mediana %.1f ms de pared (min %.1f, max %.1f), %.1f ms de CPU, pico de memoria "
                "%.1f MiB (objetivo <= 120)\n",
                m, *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()),
                1000.0 * cpu / rondas, pico / 1024.0);
    std::printf("  suelo, djpeg del mismo archivo: mediana %.1f ms de pared, %.1f ms de CPU\n", mSuelo,
                1000.0 * cpuSuelo / rondas);
    std::printf("  proporcion modo / djpeg: %.2f de pared, %.2f de CPU (objetivo <= 3)\n", m / mSuelo,
                cpu / cpuSuelo);
    std::printf("  frente al dibujo de antes (escalado suave de Qt): diferencia por canal maxima %d, media %.3f\n",
                maximo, suma / (double(w) * h * 4));
    return 0;
}

// Time of one "fondo" run at 3840×2160 from a 12-megapixel photo, process start to
// exit, as the player pays it each time its video area changes size.
#include "apoyo/programa.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
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

} // namespace

int main(int argc, char** argv)
{
    const int rondas = argc > 1 ? std::atoi(argv[1]) : 15;
    QTemporaryDir dir;
    const QString foto = QDir(dir.path()).filePath(QStringLiteral("foto.jpg"));
    const QString salida = QDir(dir.path()).filePath(QStringLiteral("fondo.raw"));
    if (!fotoDePrueba(4000, 3000).save(foto, "JPG", 90))
        return 1;

    std::vector<double> ms;
    for (int r = 0; r < rondas; ++r) {
        QElapsedTimer reloj;
        reloj.start();
        QProcess p;
        p.start(rutaPrograma(), {"fondo", foto, salida, "3840", "2160", "2.5.1"});
        p.waitForFinished(-1);
        ms.push_back(static_cast<double>(reloj.nsecsElapsed()) / 1e6);
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0
            || QFileInfo(salida).size() != qint64(3840) * 2160 * 4) {
            std::printf("el modo falló: estado %d\n", p.exitCode());
            return 1;
        }
    }
    std::sort(ms.begin(), ms.end());
    std::printf("fondo 3840x2160 desde una foto JPEG 4000x3000, %d rondas\n", rondas);
    std::printf("  mediana: %.1f ms (mín %.1f, máx %.1f)\n", ms[ms.size() / 2], ms.front(), ms.back());
    return 0;
}

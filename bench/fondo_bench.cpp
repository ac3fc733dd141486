// "fondo" at 3840×2160, the size of a 4K player's video area, from a 4000×3000 JPEG:
// median wall time of the whole run (start, decode, scale, text, write), as the player
// waits for it.
#include "apoyo/escena.h"
#include "apoyo/programa.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

int main()
{
    QTemporaryDir dir;
    const QString foto = dir.filePath(QStringLiteral("foto.jpg"));
    const QString salida = dir.filePath(QStringLiteral("fondo.raw"));
    if (!texturaRuido(4000, 3000, 7, 40).convertToFormat(QImage::Format_RGB32).save(foto, "JPEG", 90)) {
        std::fprintf(stderr, "no se pudo escribir la foto\n");
        return 1;
    }
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.remove(QStringLiteral("DISPLAY"));
    std::vector<double> ms;
    for (int i = 0; i < 15; ++i) {
        QElapsedTimer t;
        t.start();
        const Corrida c = correr({QStringLiteral("fondo"), foto, salida, QStringLiteral("3840"),
                                  QStringLiteral("2160"), QStringLiteral("2.4")},
                                 60000, entorno);
        if (c.estado != 0) {
            std::fprintf(stderr, "fondo terminó con %d\n", c.estado);
            return 1;
        }
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%s\n", qPrintable(QString::asprintf("fondo 3840x2160 desde 4000x3000: mediana %.1f ms "
                                                      "(mín %.1f, máx %.1f, 15 corridas)",
                                                      ms[ms.size() / 2], ms.front(), ms.back())));
    return 0;
}

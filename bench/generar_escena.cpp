// Writes N synthetic 1280x720 PNG frames with a textured target drifting across a
// textured background; used by the demo and the benchmarks.
#include "apoyo/escena.h"

#include <QDir>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "uso: generar-escena CARPETA N [ANCHO ALTO]\n");
        return 64;
    }
    const QString carpeta = QString::fromLocal8Bit(argv[1]);
    const int n = std::atoi(argv[2]);
    const int ancho = argc > 4 ? std::atoi(argv[3]) : 1280;
    const int alto = argc > 4 ? std::atoi(argv[4]) : 720;
    QDir().mkpath(carpeta);
    const Escena e = escenaDePrueba(ancho, alto, 96, 64, 17);
    for (int i = 0; i < n; ++i) {
        const QPoint pos(400 + 5 * i, 300 + 2 * i);
        const QString nombre = QString::asprintf("%06d.png", 100 + i);
        if (!fotograma(e, pos).save(QDir(carpeta).filePath(nombre)))
            return 1;
    }
    return 0;
}

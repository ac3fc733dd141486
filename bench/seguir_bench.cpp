// Cost of "seguir" per frame against the cost of only reading the frames: the
// tracker's own work should stay within a tenth of the decoding.
#include "analisis/gris.h"
#include "analisis/seguir.h"
#include "apoyo/escena.h"
#include "apoyo/programa.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double mediana(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2.0;
}

} // namespace

int main(int argc, char** argv)
{
    const int n = argc > 1 ? std::atoi(argv[1]) : 200;
    const int rondas = argc > 2 ? std::atoi(argv[2]) : 3;
    QTemporaryDir dir;
    std::printf("generando %d fotogramas 1920x1080...\n", n);
    const Escena e = escenaDePrueba(1920, 1080, 96, 64, 23);
    for (int i = 0; i < n; ++i) {
        const QPoint pos(600 + 3 * i, 400 + (i % 40) - 20);
        fotograma(e, pos).save(QDir(dir.path()).filePath(QString::asprintf("%06d.png", i)), "PNG", 1);
    }

    std::vector<double> modo;
    for (int r = 0; r < rondas; ++r) {
        QElapsedTimer reloj;
        reloj.start();
        QProcess p;
        p.start(rutaPrograma(), {"seguir", dir.path(), "600", "400", "96", "64"});
        p.waitForFinished(-1);
        const double total = static_cast<double>(reloj.nsecsElapsed()) / 1e6;
        const int lineas = static_cast<int>(p.readAllStandardOutput().count('\n'));
        if (p.exitCode() != 0 || lineas != n - 1) {
            std::printf("el modo falló: estado %d, %d líneas\n", p.exitCode(), lineas);
            return 1;
        }
        modo.push_back(total / n);
    }

    const int f = geometriaZona(96, 64).f;
    std::vector<double> lectura;
    for (int r = 0; r < rondas; ++r) {
        for (int i = 0; i < n; ++i) {
            QElapsedTimer reloj;
            reloj.start();
            const auto g = leerGris(QDir(dir.path()).filePath(QString::asprintf("%06d.png", i)), f);
            lectura.push_back(static_cast<double>(reloj.nsecsElapsed()) / 1e6);
            if (!g)
                return 1;
        }
    }
    const double mModo = mediana(modo);
    const double mLectura = mediana(lectura);
    std::printf("seguir, %d fotogramas 1920x1080, zona 96x64 (f=%d), %d rondas\n", n, f, rondas);
    std::printf("  modo completo:            %.2f ms/fotograma (mediana de las rondas)\n", mModo);
    std::printf("  decodificar + reducir:    %.2f ms/fotograma (mediana)\n", mLectura);
    std::printf("  proporción:               %.3f (objetivo <= 1.10)\n", mModo / mLectura);
    return 0;
}

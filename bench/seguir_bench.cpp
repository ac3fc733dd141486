// Cost of "seguir" per frame against its floor measured in the same run: decoding and
// reducing the frames on one core. With the frames decoded ahead on every core and the
// tracker following them on a thread of its own, the mode should take little more than
// that floor shared out among the cores (goal: at most 0.55 of it on two cores).
//
//   bench-seguir [frames] [rounds]
#include "analisis/gris.h"
#include "analisis/seguir.h"
#include "apoyo/escena.h"
#include "apoyo/programa.h"
#include "medidas.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <sched.h>
#include <vector>

namespace {

double mediana(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2.0;
}

QString nombre(int i)
{
    return QString::asprintf("%06d.png", i);
}

// The floor, in a process of its own held to one core: wall ms per frame (median) and CPU
// ms per frame (mean) of decoding and reducing each frame `rondas` times.
int suelo(const QString& carpeta, int n, int f, int rondas)
{
    std::vector<double> ms;
    const double cpu0 = cpuProceso();
    for (int r = 0; r < rondas; ++r)
        for (int i = 0; i < n; ++i) {
            QElapsedTimer reloj;
            reloj.start();
            if (!leerGris(QDir(carpeta).filePath(nombre(i)), f))
                return 1;
            ms.push_back(static_cast<double>(reloj.nsecsElapsed()) / 1e6);
        }
    std::printf("%f %f\n", mediana(ms), 1000.0 * (cpuProceso() - cpu0) / (n * rondas));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && QLatin1String(argv[1]) == QLatin1String("--suelo"))
        return suelo(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 200;
    const int rondas = argc > 2 ? std::atoi(argv[2]) : 3;
    QTemporaryDir dir;
    std::printf("generando %d fotogramas 1920x1080...\n", n);
    const Escena e = escenaDePrueba(1920, 1080, 96, 64, 23);
    for (int i = 0; i < n; ++i) {
        const QPoint pos(600 + 3 * i, 400 + (i % 40) - 20);
        fotograma(e, pos).save(QDir(dir.path()).filePath(nombre(i)), "PNG", 1);
    }

    const QString carga0 = cargaMedia();
    std::vector<double> pared;
    const double cpu0 = cpuHijos();
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
        pared.push_back(total / n);
    }
    const double cpuModo = 1000.0 * (cpuHijos() - cpu0) / (n * rondas);
    const QString carga1 = cargaMedia();

    // The floor on one core, in a child held there before it starts any thread.
    const int f = geometriaZona(96, 64).f;
    QProcess s;
    s.setChildProcessModifier([] {
        cpu_set_t uno;
        CPU_ZERO(&uno);
        CPU_SET(sched_getcpu(), &uno);
        sched_setaffinity(0, sizeof uno, &uno);
    });
    s.start(QCoreApplication::applicationFilePath(),
            {"--suelo", dir.path(), QString::number(n), QString::number(f), QString::number(rondas)});
    s.waitForFinished(-1);
    const QStringList suelo = QString::fromLatin1(s.readAllStandardOutput()).split(QLatin1Char(' '));
    if (s.exitCode() != 0 || suelo.size() != 2) {
        std::printf("la medida del suelo falló\n");
        return 1;
    }
    const double paredSuelo = suelo[0].toDouble(), cpuSuelo = suelo[1].toDouble();
    const double modo = mediana(pared);
    const int nucleos = QThread::idealThreadCount();
    std::printf("seguir, %d fotogramas PNG 1920x1080, zona 96x64 (f=%d), %d rondas, %d nucleos\n", n, f, rondas, nucleos);
    std::printf("  modo completo:                       %.2f ms/fotograma de pared (mediana de las rondas), "
                "%.2f ms de CPU; carga media %s antes, %s despues\n",
                modo, cpuModo, qPrintable(carga0), qPrintable(carga1));
    std::printf("  suelo, decodificar y reducir en un nucleo: %.2f ms/fotograma de pared (mediana), %.2f ms de "
                "CPU; carga media %s\n",
                paredSuelo, cpuSuelo, qPrintable(cargaMedia()));
    std::printf("  proporcion modo / suelo:             %.3f (objetivo <= 0.55; el suelo repartido entre los "
                "nucleos seria %.3f)\n",
                modo / paredSuelo, 1.0 / nucleos);
    return 0;
}

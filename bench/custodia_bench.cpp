// "verificar" against sha256sum over the same files: a case of 16 recordings (1 GiB in
// all by default; the argument gives MiB) with their records and register entries, checked
// by each five times in turn with the files in the page cache, then three times each after
// dropping the files from it (posix_fadvise, our own pages only: the shared machine's
// cache is left alone). Wall time and the child's CPU time, with the machine's load.
#include "apoyo/programa.h"
#include "comun/sha256.h"
#include "custodia/registro.h"
#include "medidas.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

struct Vez {
    double segundos, cpu;
    int estado;
};

Vez correrUna(const QString& programa, const QStringList& args)
{
    const double antes = cpuHijos();
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(programa, args);
    p.waitForFinished(-1);
    return {t.nsecsElapsed() / 1e9, cpuHijos() - antes, p.exitCode()};
}

void soltarCache(const QStringList& rutas)
{
    for (const QString& r : rutas) {
        const int fd = ::open(QFile::encodeName(r).constData(), O_RDONLY);
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const qint64 mib = argc > 1 ? std::max(16, std::atoi(argv[1])) : 1024;
    // On disk, beside the build: /tmp may be memory, which no cache can be dropped from.
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/custodia-bench-XXXXXX"));
    const QString caso = dir.path();
    QStringList rutas;
    QByteArray bloque(1 << 20, Qt::Uninitialized);
    for (int i = 0; i < 16; ++i) {
        EntradaCustodia e;
        e.fichero = QStringLiteral("camaras/10.77.0.5/grabacion-%1.mp4").arg(i);
        const QString ruta = caso + QLatin1Char('/') + e.fichero;
        QDir().mkpath(QFileInfo(ruta).path());
        QFile f(ruta);
        f.open(QIODevice::WriteOnly);
        Sha256 sha;
        for (qint64 m = 0; m < mib / 16; ++m) {
            for (int k = 0; k < bloque.size(); k += 8)
                std::snprintf(bloque.data() + k, 9, "%07x", int(i * 131 + m * 7 + k));
            f.write(bloque);
            sha.anadir(bloque.constData(), bloque.size());
        }
        f.close();
        e.tamano = (mib / 16) << 20;
        e.sha256 = sha.hex();
        QFile r(ruta + QStringLiteral(".txt"));
        r.open(QIODevice::WriteOnly);
        r.write("Fichero: grabacion\n");
        r.close();
        e.sha256Registro = sha256DeArchivo(ruta + QStringLiteral(".txt"));
        if (const QString fallo = anadirEntrada(caso, e); !fallo.isEmpty()) {
            std::printf("no se pudo anotar: %s\n", qPrintable(fallo));
            return 1;
        }
        rutas << ruta << ruta + QStringLiteral(".txt");
    }
    std::printf("16 ficheros, %lld MiB en total; carga al empezar %s\n", mib, qPrintable(cargaMedia()));
    const QStringList verificar{QStringLiteral("verificar"), caso};
    for (const bool frio : {false, true}) {
        QList<Vez> nuestras, suyas;
        for (int vez = 0; vez < (frio ? 3 : 5); ++vez) {
            if (frio)
                soltarCache(rutas);
            nuestras << correrUna(rutaPrograma(), verificar);
            if (frio)
                soltarCache(rutas);
            suyas << correrUna(QStringLiteral("/usr/bin/sha256sum"), rutas);
        }
        const auto mediana = [](QList<Vez> v, auto campo) {
            std::sort(v.begin(), v.end(), [&](const Vez& a, const Vez& b) { return a.*campo < b.*campo; });
            return v[v.size() / 2].*campo;
        };
        const double mb = double(mib);
        std::printf("%s (mediana de %lld):\n", frio ? "fuera de la caché" : "en la caché", qlonglong(nuestras.size()));
        std::printf("  verificar  %.3f s (%.0f MiB/s), CPU %.3f s, estado %d\n", mediana(nuestras, &Vez::segundos),
                    mb / mediana(nuestras, &Vez::segundos), mediana(nuestras, &Vez::cpu), nuestras[0].estado);
        std::printf("  sha256sum  %.3f s (%.0f MiB/s), CPU %.3f s, estado %d\n", mediana(suyas, &Vez::segundos),
                    mb / mediana(suyas, &Vez::segundos), mediana(suyas, &Vez::cpu), suyas[0].estado);
        std::printf("  tiempo de verificar / sha256sum: %.3f (CPU %.3f); carga %s\n",
                    mediana(nuestras, &Vez::segundos) / mediana(suyas, &Vez::segundos),
                    mediana(nuestras, &Vez::cpu) / mediana(suyas, &Vez::cpu), qPrintable(cargaMedia()));
    }
    return 0;
}

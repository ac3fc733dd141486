// Listing a drive: listarUnidad against find(1) listing the same files with size and
// date, over a generated tree of 20000 videos among 100000 files in deep and wide
// folders; then the time to stop at the cap on a tree of 200000 videos.
//
//   bench-unidades [--carpeta DIR] [--vueltas N]
#include "grabadores/extensiones.h"
#include "grabadores/unidades.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool crear(const QByteArray& ruta) {
    const int fd = open(ruta.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    close(fd);
    return true;
}

void carpetas(const QByteArray& ruta) {
    QByteArray parcial;
    for (const QByteArray& parte : ruta.split('/')) {
        parcial += parte + '/';
        mkdir(parcial.constData(), 0755);
    }
}

// `total` files, one in `cadaVideo` a video with a mixed-case extension, spread over 50
// wide folders, 20 below each, and a chain five deeper for a tenth of them; one hidden
// folder of videos that must not count.
int generar(const QByteArray& raiz, int total, int cadaVideo) {
    const char* videos[] = {"mp4", "MP4", "dav", "264", "avi", "Mov", "jpg"};
    const char* otros[] = {"txt", "idx", "dat", "xml", "log"};
    int hechos = 0;
    for (int i = 0; i < total; ++i) {
        QByteArray carpeta = raiz + "/canal" + QByteArray::number(i % 50) + "/dia" +
                             QByteArray::number((i / 50) % 20);
        if (i % 10 == 0) carpeta += "/a/b/c/d/e";
        if (i % 1000 == 7) carpeta = raiz + "/.papelera/" + QByteArray::number(i);
        if (i < 50 * 20 * 2 || i % 1000 == 7) carpetas(carpeta);
        const bool video = i % cadaVideo == 0;
        const QByteArray f = carpeta + "/f" + QByteArray::number(i) + "." +
                             (video ? videos[i / cadaVideo % 7] : otros[i % 5]);
        if (!crear(f)) {
            carpetas(carpeta);
            if (!crear(f)) continue;
        }
        if (video && i % 1000 != 7) ++hechos;
    }
    return hechos;
}

QStringList argumentosFind(const QString& raiz) {
    QStringList a{raiz, "-name", ".*", "-prune", "-o", "-type", "f", "("};
    QStringList exts;
    for (const QString& e : EXTENSIONES) exts << e;
    exts.sort();
    for (int i = 0; i < exts.size(); ++i) {
        if (i) a << "-o";
        a << "-iname" << "*" + exts[i];
    }
    return a << ")" << "-printf" << "%s %T@ %p\n";
}

double find(const QString& raiz, QByteArray* salida) {
    QProcess p;
    if (!salida) p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start("/usr/bin/find", argumentosFind(raiz));
    p.waitForFinished(-1);
    const double ms = t.nsecsElapsed() / 1e6;
    if (salida) *salida = p.readAllStandardOutput();
    return ms;
}

double listar(const QString& raiz, qsizetype* cuantos) {
    const auto origen = std::make_shared<Origen>("unidad", "u", raiz, "");
    QElapsedTimer t;
    t.start();
    const QList<FicheroPtr> l = listarUnidad(origen);
    const double ms = t.nsecsElapsed() / 1e6;
    *cuantos = l.size();
    return ms;
}

double mediana(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString base = QDir::tempPath();
    int vueltas = 5;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--carpeta") base = args[++i];
        else if (args[i] == "--vueltas") vueltas = std::max(1, args[++i].toInt());
    }
    QTemporaryDir dir(base + "/bench-unidades-XXXXXX");
    if (!dir.isValid()) {
        std::fprintf(stderr, "no se pudo crear la carpeta temporal en %s\n", qPrintable(base));
        return 1;
    }
    const QString mixto = dir.path() + "/mixto";
    const QString lleno = dir.path() + "/lleno";

    QElapsedTimer t;
    t.start();
    const int videos = generar(QFile::encodeName(mixto), 100000, 5);
    std::printf("árbol mixto: 100000 ficheros, %d vídeos visibles (%.1f s en crearlo)\n", videos,
                t.elapsed() / 1000.0);
    QByteArray texto;
    find(mixto, &texto);
    qsizetype nuestros = 0;
    listar(mixto, &nuestros);
    std::printf("find encuentra %lld, listarUnidad %lld\n", (long long)texto.count('\n'),
                (long long)nuestros);

    std::vector<double> tFind, tNuestro;
    for (int v = 0; v < vueltas; ++v) {
        tFind.push_back(find(mixto, nullptr));
        tNuestro.push_back(listar(mixto, &nuestros));
    }
    const double f = mediana(tFind), n = mediana(tNuestro);
    std::printf("find -printf:  %8.1f ms (mediana de %d)\n", f, vueltas);
    std::printf("listarUnidad:  %8.1f ms (mediana de %d)\n", n, vueltas);
    std::printf("proporción:    %8.2f (objetivo <= 1.20)\n", n / f);

    t.restart();
    generar(QFile::encodeName(lleno), 200000, 1);
    std::printf("árbol lleno: 200000 vídeos (%.1f s en crearlo)\n", t.elapsed() / 1000.0);
    std::vector<double> tTope;
    for (int v = 0; v < vueltas; ++v) tTope.push_back(listar(lleno, &nuestros));
    std::printf("hasta el tope: %8.1f ms para %lld grabaciones (mediana de %d)\n", mediana(tTope),
                (long long)nuestros, vueltas);
    return 0;
}

// The FTP listing of a hostile server: one folder whose LIST is about 50 MiB (750 000
// lines that are no recordings, so all of it must be read) from pyftpdlib on loopback.
// Peak memory and time of listarFTP, which reads the listing as it arrives, against
// reading the whole listing into memory first and then its entries, as it was done before.
// Then a folder of 1.3 million recordings, where the listing stops at the cap.
//
//   bench-ftp [LINEAS]
#include "apoyo/servidor_ftp.h"
#include "grabadores/ftp.h"
#include "grabadores/unidades.h"
#include "medidas.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <cstdio>

namespace {

// A memory figure of /proc/self/status in KiB ("VmRSS:" now, "VmHWM:" the peak); the peak
// is reset to the present by reiniciarPico (Linux: clear_refs 5).
long memoriaKiB(const char* campo)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& l : f.readAll().split('\n'))
        if (l.startsWith(campo))
            return l.mid(int(qstrlen(campo))).trimmed().split(' ').value(0).toLong();
    return -1;
}
long residenteKiB() { return memoriaKiB("VmRSS:"); }
long picoActualKiB() { return memoriaKiB("VmHWM:"); }

void reiniciarPico()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

void informar(const char* que, double s, long antes, qsizetype halladas, const QString& corte = {})
{
    std::printf("%s: %.2f s, pico %.1f MiB sobre %.1f MiB de partida (+%.1f MiB), %lld grabaciones%s; carga %s\n",
                que, s, picoActualKiB() / 1024.0, antes / 1024.0, (picoActualKiB() - antes) / 1024.0,
                qlonglong(halladas), corte.isEmpty() ? "" : qPrintable(QStringLiteral(" (") + corte + ')'),
                qPrintable(cargaMedia()));
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int lineas = argc > 1 ? std::atoi(argv[1]) : 750000;
    ServidorFTP s;
    if (!s.listo()) {
        std::fprintf(stderr, "%s\n", qPrintable(s.error()));
        return 1;
    }
    const QString enorme = QStringLiteral("listado-%1-txt").arg(lineas);
    s.poner(enorme + QStringLiteral("/vacia"), {});
    auto origen = std::make_shared<Origen>(QStringLiteral("red"), QString(), QString(), QString());
    origen->ip = s.direccion();
    origen->clave = QStringLiteral("clave");

    // As before: curl's whole output in memory, then its entries.
    reiniciarPico();
    long antes = residenteKiB();
    QElapsedTimer t;
    t.start();
    QProcess curl;
    curl.start(QStringLiteral("/usr/bin/curl"), {QStringLiteral("-s"), QStringLiteral("-u"), QStringLiteral("admin:clave"),
                                                 QStringLiteral("ftp://") + s.direccion() + '/' + enorme + '/'});
    curl.waitForFinished(-1);
    const QByteArray todo = curl.readAllStandardOutput();
    const qsizetype entradas = leerListadoFTP(todo).size();
    std::printf("LIST de %.1f MiB, %lld entradas\n", todo.size() / 1048576.0, qlonglong(entradas));
    informar("todo en memoria y luego leído", t.nsecsElapsed() / 1e9, antes, 0);

    // The server's folder each time: made-up listings the fake writes as it goes.
    const struct {
        QString carpeta;
        const char* que;
    } vueltas[] = {{enorme, "listarFTP, 50 MiB sin grabaciones"},
                   {QStringLiteral("listado-1300000-mp4"), "listarFTP, 1,3 millones de grabaciones"}};
    for (const auto& v : vueltas) {
        QDir(s.raiz()).removeRecursively();
        s.poner(v.carpeta + QStringLiteral("/vacia"), {});
        reiniciarPico();
        antes = residenteKiB();
        t.restart();
        const double cpu = cpuProceso();
        QString corte;
        const qsizetype halladas = listarFTP(origen, {}, &corte).size();
        std::printf("  CPU del proceso %.2f s\n", cpuProceso() - cpu);
        informar(v.que, t.nsecsElapsed() / 1e9, antes, halladas, corte);
    }
    return 0;
}

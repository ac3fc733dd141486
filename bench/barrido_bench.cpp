// Times the whole network sweep of a /24 inside test namespaces, once with nobody there
// and once with five hosts listening, against the expected 2.5 s + ⌈253/48⌉ × 0.45 s.
#include "apoyo/espacio_red.h"
#include "grabadores/identificar.h"

#include <QElapsedTimer>
#include <QString>
#include <cstdio>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool medir(int red, int conHosts) {
    EspacioRed e(red, 24);
    if (!e.listo()) {
        std::fprintf(stderr, "%s\n", qPrintable(e.error()));
        return false;
    }
    QList<int> fds;
    for (int i = 0; i < conHosts; ++i) {
        // RTSP only: the sweep then makes no web request, so the figure is the probe's own.
        const QString ip = QStringLiteral("10.77.%1.%2").arg(red).arg(10 + i * 40);
        if (!e.agregarDireccion(ip)) return false;
        fds << escucharEn(e.servidor, ip, 554);
    }
    QList<OrigenPtr> lista;
    qint64 ms = 0;
    enEspacio(e.cliente, [&] {
        QElapsedTimer t;
        t.start();
        lista = buscarRed([](int) {});
        ms = t.elapsed();
    });
    for (int fd : fds) close(fd);
    const double objetivo = 2.5 + 6 * 0.45;
    std::printf("%s\n", qPrintable(QString::asprintf(
                            "barrido /24, %d hosts escuchando: %.3f s, %lld encontrados, "
                            "razón %.3f frente a %.2f s (objetivo <= 1.05)",
                            conHosts, ms / 1000.0, qlonglong(lista.size()), ms / 1000.0 / objetivo,
                            objetivo)));
    return true;
}

}  // namespace

int main() {
    if (!puedeCrearEspacios()) {
        std::printf("barrido: hace falta ser root para crear espacios de red\n");
        return 0;
    }
    return medir(40, 0) && medir(41, 5) ? 0 : 1;
}

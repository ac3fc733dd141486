// A 1 GiB download from a real lighttpd on loopback through the HTTP client into a file,
// against `curl -o` of the same file: throughput of both and our peak memory.
#include "apoyo/espacio_red.h"
#include "apoyo/servidor_web.h"
#include "grabadores/http.h"
#include "medidas.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

int main() {
    const qint64 tam = 1LL << 30;
    ServidorWeb web;
    if (!web.listo()) {
        std::fprintf(stderr, "%s\n", qPrintable(web.error()));
        return 1;
    }
    {
        QFile f(web.raiz() + "/grande.bin");  // sparse: no gigabyte of disk to build it
        if (!f.open(QIODevice::WriteOnly) || !f.resize(tam)) return 1;
    }
    QTemporaryDir tmp;
    const QString nuestro = tmp.filePath("nuestro.bin"), suyo = tmp.filePath("curl.bin");
    const long antes = picoKiB();

    // Alternate the two, twice each, and keep each one's best run: the machine is shared
    // and the page cache warms up as it goes.
    double sNuestro = 1e9, sCurl = 1e9;
    int ultimo = -1;
    for (int vuelta = 0; vuelta < 2; ++vuelta) {
        QElapsedTimer t;
        t.start();
        const int r = orden("curl", {"-s", "-o", suyo, web.url("/grande.bin")}, 600000);
        sCurl = std::min(sCurl, t.elapsed() / 1000.0);
        const bool completo = QFileInfo(suyo).size() == tam;
        QFile::remove(suyo);
        if (r != 0 || !completo) return 1;

        t.restart();
        try {
            Http::peticion(web.url("/grande.bin"), {}, {}, "GET", std::nullopt, 20, nuestro,
                           [&](int p) { ultimo = p; });
        } catch (const ErrorCamara& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
        sNuestro = std::min(sNuestro, t.elapsed() / 1000.0);
        if (QFileInfo(nuestro).size() != tam) return 1;
        QFile::remove(nuestro);
    }
    const long despues = picoKiB();

    const double mbN = tam / 1048576.0 / sNuestro, mbC = tam / 1048576.0 / sCurl;
    std::printf("%s\n", qPrintable(QString::asprintf(
                            "descarga 1 GiB: nuestra %.1f MiB/s, curl -o %.1f MiB/s, razón %.3f "
                            "(objetivo >= 0.95); progreso final %d%%",
                            mbN, mbC, mbN / mbC, ultimo)));
    std::printf("%s\n", qPrintable(QString::asprintf(
                            "memoria máxima: %.1f MiB antes, %.1f MiB después de descargar "
                            "(objetivo: plana, < 64 MiB)",
                            antes / 1024.0, despues / 1024.0)));
    return 0;
}

// What the evidence steps cost a real download: a Hikvision recording of 1 GiB fetched by
// the program's own Hikvision routine from the recorder fake (lighttpd, digest
// authentication, the ISAPI download), once through the cameras window (SHA-256 as the
// bytes land, temporary name, flush to disk, rename, record) and once by the routine
// alone into a file. Goal: the window keeps at least 90 % of the routine's throughput.
// At full loopback speed and at 40 MiB/s (what a recorder on a gigabit network usually
// gives; the fake cannot be held at a faster pace). The flush to disk before the rename
// is part of the window's cost; what the same flush would add to the routine alone is
// shown beside.
// The recorders live in a test network namespace (the routine speaks to port 80), and
// so does this program once they are up; run it as root. An optional argument gives the
// size in MiB.
#include "camaras/camaras.h"
#include "grabador_bench.h"
#include "ventana_bench.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

struct Medida {
    double ventana = 1e9, sola = 1e9, volcado = 1e9;
    double cpuVentana = 1e9, cpuSola = 1e9;
};

std::optional<Medida> medir(Camaras& c, const FicheroPtr& f, const QString& carpeta, qint64 tam, int vueltas)
{
    Medida m;
    QElapsedTimer t;
    // Through the window, then the routine alone, in turns; each one's best run.
    for (int vuelta = 0; vuelta < vueltas; ++vuelta) {
        f->estado.reset();
        c.mostrarOrigen(f->origen);
        c.pintarLista({f});
        f->marcado = true;
        double cpu = cpuProceso();
        t.start();
        c.descargar();
        esperarVentana(c);
        m.ventana = std::min(m.ventana, t.elapsed() / 1000.0);
        m.cpuVentana = std::min(m.cpuVentana, cpuProceso() - cpu);
        if (f->estado != QStringLiteral("descargado") || QFileInfo(c.descargados.last()).size() != tam) {
            std::fprintf(stderr, "por la ventana: %s\n", qPrintable(f->estado.value_or(QStringLiteral("sin fichero"))));
            return std::nullopt;
        }
        QFile::remove(c.descargados.last());
        QFile::remove(c.descargados.last() + QStringLiteral(".txt"));

        const QString ruta = carpeta + QStringLiteral("/sola.mp4");
        cpu = cpuProceso();
        t.restart();
        try {
            descargarHikvision(*f, ruta, [](int) {});
        } catch (const ErrorCamara& e) {
            std::fprintf(stderr, "la rutina sola: %s\n", qPrintable(e.description));
            return std::nullopt;
        }
        m.sola = std::min(m.sola, t.elapsed() / 1000.0);
        m.cpuSola = std::min(m.cpuSola, cpuProceso() - cpu);
        if (QFileInfo(ruta).size() != tam)
            return std::nullopt;
        // What flushing the same bytes to disk would add to the routine alone.
        t.restart();
        QFile g(ruta);
        if (g.open(QIODevice::ReadOnly))
            ::fsync(g.handle());
        m.volcado = std::min(m.volcado, t.elapsed() / 1000.0);
        QFile::remove(ruta);
    }
    return m;
}

} // namespace

int main(int argc, char** argv)
{
    const qint64 tam = tamanoPedido(argc, argv);
    if (tam == 0)
        return 1;
    EspacioRed red(95);
    // One recorder per pace: its address, its limit in KiB/s (0: none), runs of each.
    const struct {
        QString ip;
        int kibs;
        int vueltas;
        const char* nombre;
    } ritmos[] = {{red.ipServidor, 0, 2, "loopback sin límite"},
                  {QStringLiteral("10.77.95.3"), 40 * 1024, 2, "a 40 MiB/s"}};
    bool bien = red.listo();
    for (const auto& r : ritmos)
        bien = bien && (r.ip == red.ipServidor || red.agregarDireccion(r.ip));
    if (!bien) {
        std::fprintf(stderr, "%s\n", qPrintable(red.error()));
        return 1;
    }
    std::vector<std::unique_ptr<GrabadorFalso>> grabadores;
    for (const auto& r : ritmos) {
        auto g = grabadorGrande(red, r.ip, tam,
                                r.kibs > 0 ? QStringLiteral("connection.kbytes-per-second = %1\n").arg(r.kibs) : QString());
        if (!g)
            return 1;
        grabadores.push_back(std::move(g));
    }
    if (!entrarEnEspacio(red.cliente)) {
        std::fprintf(stderr, "no se pudo entrar en el espacio de red de prueba\n");
        return 1;
    }

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    Camaras c(dir.path(), QStringLiteral("banco"), QStringLiteral("/usr/bin/ffmpeg"), operacionesReales());
    c.terminar = [](int, const QString&) {};
    const QString cargaAntes = cargaMedia();
    const double mib = tam / 1048576.0;
    for (const auto& r : ritmos) {
        const FicheroPtr f = grabacionDe(r.ip);
        if (!f) {
            std::fprintf(stderr, "el grabador no dio su grabación\n");
            return 1;
        }
        const std::optional<Medida> m = medir(c, f, dir.path(), tam, r.vueltas);
        if (!m)
            return 1;
        std::printf("descarga Hikvision de %.0f MiB, %s: por la ventana %.1f MiB/s (SHA-256, nombre temporal, "
                    "volcado a disco, registro), rutina sola %.1f MiB/s, coste %.1f %% (objetivo <= 10 %%); "
                    "con el volcado a disco que la rutina sola no hace (%.2f s), coste %.1f %%; CPU del proceso: "
                    "ventana %.2f s, rutina sola %.2f s\n",
                    mib, r.nombre, mib / m->ventana, mib / m->sola, 100.0 * (1.0 - m->sola / m->ventana), m->volcado,
                    100.0 * (1.0 - (m->sola + m->volcado) / m->ventana), m->cpuVentana, m->cpuSola);
        std::fflush(stdout);
    }
    std::printf("carga media de la máquina (1, 5, 15 min): antes %s, después %s; %ld procesadores\n",
                qPrintable(cargaAntes), qPrintable(cargaMedia()), sysconf(_SC_NPROCESSORS_ONLN));
    return 0;
}

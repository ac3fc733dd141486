// How long the cameras window's main thread goes without turning its event loop while
// long jobs run: a sweep (progress a thousand times a second), a listing of 5000
// recordings, and a 1 GiB download from a real lighttpd on loopback through the HTTP
// client (goal: longest stall under 50 ms). Then what the evidence steps cost: the same
// download through the window (hash as it lands, temporary name, flush, rename, record)
// against the bare client writing the file, best of two each.
#include "apoyo/guion_camaras.h"
#include "apoyo/servidor_web.h"
#include "camaras/camaras.h"
#include "grabadores/http.h"
#include "ventana_bench.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 tam = (argc > 1 ? std::max(1, atoi(argv[1])) : 1024) * 1048576LL;

    // The loopback as fast as it goes, and at 40 MiB/s, the pace of a recorder on a
    // gigabit network, where writing back to disk keeps up with the bytes arriving.
    ServidorWeb web;
    OpcionesWeb lenta;
    lenta.extra = QStringLiteral("server.kbytes-per-second = 40960\nconnection.kbytes-per-second = 40960\n");
    ServidorWeb webLenta(lenta);
    for (ServidorWeb* w : {&web, &webLenta}) {
        if (!w->listo()) {
            std::fprintf(stderr, "%s\n", qPrintable(w->error()));
            return 1;
        }
        QFile f(w->raiz() + QStringLiteral("/grande.bin"));  // sparse: no gigabyte to build
        if (!f.open(QIODevice::WriteOnly) || !f.resize(tam))
            return 1;
    }
    QTemporaryDir dir;
    GuionCamaras g;
    QList<OrigenPtr> equipos;
    for (int i = 2; i < 256; ++i)
        equipos << equipoGuion(QStringLiteral("10.77.0.%1").arg(i), QStringLiteral("hikvision"));
    g.equipos = equipos;
    g.pasosBarrido = 0;
    const OrigenPtr nvr = equipos.first();
    QList<FicheroPtr> lista;
    for (int i = 0; i < 5000; ++i)
        lista << grabacionGuion(nvr, QStringLiteral("g%1.mp4").arg(i), QDateTime::currentDateTime().addSecs(-i * 60),
                                1 << 20, QStringLiteral("d%1").arg(i));
    g.listados[QStringLiteral("hikvision")] = [&](const OrigenPtr&) { return lista; };
    Operaciones ops = g.operaciones();
    ops.buscarRed = [&](const Progreso& progreso) {
        for (int i = 0; i < 3000; ++i) {  // three seconds of probing
            QThread::usleep(1000);
            progreso(i * 100 / 3000);
        }
        return equipos;
    };
    QString url = web.url(QStringLiteral("/grande.bin"));
    double sRutina = 1e9;  // the routine alone, inside the window's download
    ops.descargar[QStringLiteral("hikvision")] = [&](const FicheroPtr&, const QString& destino, const QString&,
                                                     const Progreso& progreso, Reanudacion&) {
        QElapsedTimer r;
        r.start();
        Http::peticion(url, {}, {}, QStringLiteral("GET"), std::nullopt, 20, destino, progreso);
        sRutina = std::min(sRutina, r.elapsed() / 1000.0);
    };

    Camaras c(dir.path(), QStringLiteral("banco"), QStringLiteral("/usr/bin/ffmpeg"), std::move(ops));
    c.terminar = [](int, const QString&) {};
    c.ventana->mostrarDelante();
    Vigia vigia;
    QElapsedTimer t;
    t.start();
    {
        QEventLoop reposo;
        QTimer::singleShot(500, &reposo, &QEventLoop::quit);
        reposo.exec();
    }
    const QString reposo = vigia.tomar();

    // The sweep and, beside it, a listing of 5000.
    c.buscarTodo();
    c.mostrarOrigen(nvr);
    c.listarRed();
    esperarVentana(c);
    const QString barridoYLista = vigia.tomar();

    // Through the window (best of two), then the bare client into a file as the protocol
    // routine leaves it (best of two).
    struct Medida {
        double ventana = 1e9, desnudo = 1e9, rutina = 1e9, volcado = 1e9;
        double cpuVentana = 1e9, cpuDesnudo = 1e9;
    };
    QStringList sobrantes;
    auto medir = [&](const QString& direccion, int vueltas) -> std::optional<Medida> {
        Medida m;
        url = direccion;
        sRutina = 1e9;
        for (int vuelta = 0; vuelta < vueltas; ++vuelta) {
            c.mostrarOrigen(nvr);
            c.pintarLista({lista[vuelta]});
            c.ficheros[0]->marcado = true;
            t.restart();
            const double cpu = cpuProceso();
            c.descargar();
            esperarVentana(c);
            m.ventana = std::min(m.ventana, t.elapsed() / 1000.0);
            m.cpuVentana = std::min(m.cpuVentana, cpuProceso() - cpu);
            if (c.ficheros[0]->estado != QStringLiteral("descargado")) {
                std::fprintf(stderr, "la descarga falló: %s\n", qPrintable(c.ficheros[0]->estado.value_or(QString())));
                return std::nullopt;
            }
            sobrantes << c.descargados.last();  // removed later: freeing the pages takes CPU
        }
        m.rutina = sRutina;
        return m;
    };
    auto medirDesnudo = [&](const QString& direccion, int vueltas, Medida m) -> std::optional<Medida> {
        for (int vuelta = 0; vuelta < vueltas; ++vuelta) {
            const QString ruta = dir.filePath(QStringLiteral("desnudo.bin"));
            t.restart();
            const double cpu = cpuProceso();
            Http::peticion(direccion, {}, {}, QStringLiteral("GET"), std::nullopt, 20, ruta, [](int) {});
            m.desnudo = std::min(m.desnudo, t.elapsed() / 1000.0);
            m.cpuDesnudo = std::min(m.cpuDesnudo, cpuProceso() - cpu);
            if (QFileInfo(ruta).size() != tam)
                return std::nullopt;
            // What flushing the same bytes to disk would add to the bare client.
            t.restart();
            QFile f(ruta);
            if (f.open(QIODevice::ReadOnly))
                fsync(f.handle());
            m.volcado = std::min(m.volcado, t.elapsed() / 1000.0);
            QFile::remove(ruta);
        }
        return m;
    };
    const QString rapidaUrl = web.url(QStringLiteral("/grande.bin"));
    const QString lentaUrl = webLenta.url(QStringLiteral("/grande.bin"));
    std::optional<Medida> rapida = medir(rapidaUrl, 2);
    std::optional<Medida> pausada = medir(lentaUrl, 1);
    const QString descarga = vigia.tomar();
    for (const QString& r : sobrantes)
        QFile::remove(r);
    if (rapida)
        rapida = medirDesnudo(rapidaUrl, 2, *rapida);
    if (pausada)
        pausada = medirDesnudo(lentaUrl, 1, *pausada);
    if (!rapida || !pausada)
        return 1;

    const double mib = tam / 1048576.0;
    std::printf("bucle de eventos, parón más largo: en reposo %s; barrido con lista de 5000 %s; "
                "descarga de %.0f MiB %s (objetivo < 50 ms)\n",
                qPrintable(reposo), qPrintable(barridoYLista), mib, qPrintable(descarga));
    for (const auto& [nombre, m] : {std::pair{"loopback sin límite", *rapida}, std::pair{"a 40 MiB/s", *pausada}})
        std::printf("descarga de %.0f MiB, %s: por la ventana %.1f MiB/s (SHA-256, nombre temporal, volcado a "
                    "disco, registro), cliente solo %.1f MiB/s, coste %.1f %% (objetivo <= 10 %%); la rutina "
                    "tardó %.2f s de los %.2f s de la ventana; volcar a disco lo del cliente solo, %.2f s; "
                    "CPU del proceso: ventana %.2f s, cliente solo %.2f s\n",
                    mib, nombre, mib / m.ventana, mib / m.desnudo, 100.0 * (1.0 - m.desnudo / m.ventana), m.rutina,
                    m.ventana, m.volcado, m.cpuVentana, m.cpuDesnudo);
    return 0;
}

// The cameras window's recordings list with 5000 entries: the time from handing the
// list to the window until it is painted, and scrolling through it page by page
// (offscreen, painted for real into the window's backing store).
#include "apoyo/guion_camaras.h"
#include "camaras/camaras.h"
#include "camaras/nombres.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

QList<FicheroPtr> grabaciones(const OrigenPtr& o, int n)
{
    QList<FicheroPtr> l;
    const QDateTime t0(QDate(2024, 1, 1), QTime(0, 0));
    for (int i = 0; i < n; ++i) {
        // Shuffled dates, some missing, so the sort has work to do.
        const int k = int((uint32_t(i) * 2654435761u) % uint32_t(n));
        std::optional<QDateTime> f;
        if (k % 50)
            f = t0.addSecs(qint64(k) * 600);
        l << std::make_shared<Fichero>(QStringLiteral("grabacion-%1.mp4").arg(k), f, int64_t(k) * 1048576,
                                       QStringLiteral("hasta 12:00:00"), o, QString::number(i));
    }
    return l;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::max(1, atoi(argv[1])) : 5000;
    QTemporaryDir dir;
    GuionCamaras g;
    const OrigenPtr nvr = equipoGuion(QStringLiteral("10.77.0.5"), QStringLiteral("hikvision"));
    const QList<FicheroPtr> lista = grabaciones(nvr, n);
    g.equipos = {nvr};
    g.listados[QStringLiteral("hikvision")] = [&](const OrigenPtr&) { return lista; };
    Camaras c(dir.path(), QString(), QStringLiteral("/usr/bin/ffmpeg"), g.operaciones());
    c.terminar = [](int, const QString&) {};
    c.ventana->mostrarDelante();
    c.buscarTodo();
    c.esperarFondo();
    app.processEvents();

    double mejor = 1e9, porListar = 1e9, ordenar = 1e9;
    for (int vuelta = 0; vuelta < 3; ++vuelta) {
        c.pintarLista({});
        c.lista->viewport()->repaint();
        QElapsedTimer t;
        t.start();
        const QList<FicheroPtr> ordenada = ordenarRecientes(lista);
        ordenar = std::min(ordenar, t.nsecsElapsed() / 1e6);
        // What the main thread does: the flows hand over lists they sorted in the background.
        t.restart();
        c.pintarListaOrdenada(ordenada);
        c.lista->viewport()->repaint();
        mejor = std::min(mejor, t.nsecsElapsed() / 1e6);

        // The same list through "Listar": background identification and listing, then
        // the list on the main thread.
        c.mostrarOrigen(nvr);
        t.restart();
        c.listarRed();
        while (c.ocupado)
            app.processEvents(QEventLoop::WaitForMoreEvents);
        c.lista->viewport()->repaint();
        porListar = std::min(porListar, t.nsecsElapsed() / 1e6);
    }

    // The view lays out its rows (and sizes its scroll bar) on a later turn of the loop.
    c.lista->doItemsLayout();
    app.processEvents();
    QScrollBar* barra = c.lista->verticalScrollBar();
    QElapsedTimer t;
    t.start();
    double peor = 0;
    int paginas = 0;
    for (int v = 0; v <= barra->maximum(); v += std::max(1, barra->pageStep()), ++paginas) {
        QElapsedTimer p;
        p.start();
        barra->setValue(v);
        c.lista->viewport()->repaint();
        peor = std::max(peor, p.nsecsElapsed() / 1e6);
    }
    const double total = t.nsecsElapsed() / 1e6;
    std::printf("lista de %d grabaciones: mostrada en %.1f ms en el hilo principal (modelo y pintado; ordenarla, "
                "fuera de él, %.1f ms); "
                "por «Listar» con guion %.1f ms\n", n, mejor, ordenar, porListar);
    std::printf("desplazamiento: %d páginas en %.1f ms, %.2f ms por página, la peor %.2f ms\n", paginas, total,
                total / std::max(1, paginas), peor);
    return 0;
}

#pragma once
// What the cameras window's benchmarks share: waiting for its jobs without spinning, and
// the figures every benchmark reports.
#include "camaras/camaras.h"
#include "medidas.h"

#include <QEventLoop>
#include <QTimer>

// Turns the event loop (without spinning) until the window's jobs have ended.
inline void esperarVentana(Camaras& c)
{
    QEventLoop bucle;
    QTimer mirar;
    QObject::connect(&mirar, &QTimer::timeout, [&] {
        if (!c.ocupado && !c.barriendo())
            bucle.quit();
    });
    mirar.start(10);
    bucle.exec();
}

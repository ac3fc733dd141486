#pragma once
// What the cameras window's benchmarks share: waiting for its jobs without spinning, and
// the figures every benchmark reports.
#include "camaras/camaras.h"
#include "medidas.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <ctime>

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

// A timer that notes how late it fires: the longest gap in the event loop, and the most
// CPU the main thread spent between two ticks. On a loaded machine the first also holds
// the time the thread waited for a processor; the second is our own work alone.
inline double cpuHilo()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

class Vigia {
public:
    Vigia()
    {
        reloj.start();
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(2);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 ahora = reloj.nsecsElapsed();
            const double cpu = cpuHilo();
            if (ultimo >= 0) {
                peor = std::max(peor, (ahora - ultimo) / 1e6 - 2.0);
                peorCpu = std::max(peorCpu, cpu - ultimoCpu);
            }
            ultimo = ahora;
            ultimoCpu = cpu;
        });
        timer.start();
    }
    QString tomar()
    {
        const QString t = QString::asprintf("%.1f ms (CPU del hilo %.1f ms)", peor, peorCpu);
        peor = peorCpu = 0;
        return t;
    }

private:
    QElapsedTimer reloj;
    QTimer timer;
    qint64 ultimo = -1;
    double ultimoCpu = 0;
    double peor = 0, peorCpu = 0;
};


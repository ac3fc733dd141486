#pragma once
// What the cameras window's benchmarks share: waiting for its jobs without spinning, the
// CPU the process has used, and how loaded the shared machine was.
#include "camaras/camaras.h"

#include <QEventLoop>
#include <QFile>
#include <QString>
#include <QTimer>
#include <sys/resource.h>

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

// CPU seconds the whole process has used (every thread), which the load of a shared
// machine does not inflate.
inline double cpuProceso()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The machine's load averages over 1, 5 and 15 minutes, as /proc/loadavg gives them.
inline QString cargaMedia()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(f.readAll()).section(QLatin1Char(' '), 0, 2);
}

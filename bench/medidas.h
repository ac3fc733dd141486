#pragma once
// What every benchmark reports beside its figures: the process's CPU time and peak memory,
// and how loaded the shared machine was while it ran.
#include <QFile>
#include <QString>
#include <sys/resource.h>

// CPU seconds the whole process has used (every thread), which the load of a shared
// machine does not inflate.
inline double cpuProceso()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU seconds of the children that have ended and been waited for (QProcess waits).
inline double cpuHijos()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The largest peak resident memory of those children, in KiB.
inline long picoHijosKiB()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_maxrss;
}

// The process's peak resident memory so far, in KiB.
inline long picoKiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// The machine's load averages over 1, 5 and 15 minutes, as /proc/loadavg gives them.
inline QString cargaMedia()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(f.readAll()).section(QLatin1Char(' '), 0, 2);
}

// Start-up time of a dialog, as the player feels it: from starting the process until
// its window is mapped on the display. Ours ("ajustes aviso") against `zenity --info`,
// both on one private Xvfb display, timed by watching MapNotify on the root window.
#include "apoyo/pantalla.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Milliseconds from start until the first MapNotify, or -1.
double medirUna(QProcess& xev, const QProcessEnvironment& entorno, const QString& programa,
                const QStringList& args)
{
    xev.readAllStandardOutput();
    QProcess p;
    p.setProcessEnvironment(entorno);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer reloj;
    reloj.start();
    p.start(programa, args);
    double ms = -1;
    QByteArray leido;
    while (reloj.elapsed() < 20000) {
        xev.waitForReadyRead(5);
        leido += xev.readAllStandardOutput();
        if (leido.contains("MapNotify")) {
            ms = reloj.nsecsElapsed() / 1e6;
            break;
        }
    }
    p.kill();
    p.waitForFinished(5000);
    return ms;
}

double mediana(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::max(3, atoi(argv[1])) : 15;
    PantallaVirtual pantalla;
    if (!pantalla.lista()) {
        std::fprintf(stderr, "no se pudo arrancar Xvfb\n");
        return 1;
    }
    const QProcessEnvironment entorno = pantalla.entorno();
    QProcess xev;
    xev.setProcessEnvironment(entorno);
    // Line-buffered, or the events would reach us in 4 KB lumps.
    xev.start(QStringLiteral("/usr/bin/stdbuf"),
              {QStringLiteral("-oL"), QStringLiteral("/usr/bin/xev"), QStringLiteral("-root"),
               QStringLiteral("-event"), QStringLiteral("substructure")});
    if (!xev.waitForStarted(5000)) {
        std::fprintf(stderr, "no se pudo arrancar xev\n");
        return 1;
    }
    xev.waitForReadyRead(500);

    const QStringList nuestro{QStringLiteral("ajustes"), QStringLiteral("aviso"),
                              QStringLiteral("al-dia"), QStringLiteral("2.3")};
    const QStringList suyo{QStringLiteral("--info"), QStringLiteral("--text"),
                           QStringLiteral("ZorvPlayer 2.3 es la versión más reciente.")};
    const bool hayZenity = QFile::exists(QStringLiteral("/usr/bin/zenity"));
    // One warm-up run each so that both start from a warm file cache.
    medirUna(xev, entorno, rutaPrograma(), nuestro);
    if (hayZenity)
        medirUna(xev, entorno, QStringLiteral("/usr/bin/zenity"), suyo);
    std::vector<double> a, b;
    for (int i = 0; i < n; ++i) {
        a.push_back(medirUna(xev, entorno, rutaPrograma(), nuestro));
        if (hayZenity)
            b.push_back(medirUna(xev, entorno, QStringLiteral("/usr/bin/zenity"), suyo));
    }
    const double ma = mediana(a);
    std::printf("aviso (zorv-ventanas): mediana %.1f ms en %d arranques\n", ma, n);
    if (hayZenity) {
        const double mb = mediana(b);
        std::printf("zenity --info:         mediana %.1f ms en %d arranques\n", mb, n);
        std::printf("proporción nuestro/zenity: %.2f\n", ma / mb);
    } else {
        std::printf("zenity no está instalado: sin comparación\n");
    }
    xev.kill();
    xev.waitForFinished(2000);
    return 0;
}

// The burst gallery on bursts of 1800 (an hour at 2 s) and 17280 (a day at 5 s) captures
// of 1920 × 1080: time to the first full screen of thumbnails, time until the thumbnails
// the memory budget holds are all in, peak memory, the longest stall of the interface
// thread while scrolling from top to bottom, and the viewer's step time.
//
// The captures are generated once under the build folder (1800 distinct noisy pictures;
// the 17280 burst names them again through hard links, so its files cost the same to
// decode). Each size is measured in a fresh process on a private 1920 × 1080 Xvfb.
#include "apoyo/escena.h"
#include "apoyo/pantalla.h"
#include "apoyo/rafaga.h"
#include "comun/salida.h"
#include "estilo/aplicacion.h"
#include "rafaga/controlador_rafaga.h"
#include "medidas.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kDistintas = 1800;

double ms(clockid_t reloj = CLOCK_MONOTONIC)
{
    timespec t;
    clock_gettime(reloj, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

QString nombre(int n)
{
    return QString::asprintf("%06d.jpg", n);
}

// --- the data --------------------------------------------------------------------

bool generarDistintas(const QString& carpeta)
{
    if (QFile::exists(carpeta + QStringLiteral("/.completa")))
        return true;
    std::fprintf(stderr, "generando %d capturas de 1920x1080 en %s…\n", kDistintas, qPrintable(carpeta));
    const QImage fondo = texturaRuido(1920, 1080, 7, 24);
    std::atomic<int> siguiente{1};
    std::atomic<bool> fallo{false};
    std::vector<QThread*> hilos;
    for (int h = 0; h < 2; ++h) {
        hilos.push_back(QThread::create([&] {
            setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
            for (int n = siguiente++; n <= kDistintas && !fallo; n = siguiente++)
                if (!escribirCaptura(carpeta, n, imagenCaptura(n, QSize(1920, 1080), fondo)))
                    fallo = true;
        }));
        hilos.back()->start();
    }
    for (QThread* h : hilos) {
        h->wait();
        delete h;
    }
    return !fallo && escribirArchivo(carpeta + QStringLiteral("/.completa"), {});
}

// A burst of `n` captures whose files are hard links to the distinct ones.
bool enlazarRafaga(const QString& distintas, const QString& carpeta, int n)
{
    if (QFile::exists(carpeta + QStringLiteral("/.completa")))
        return true;
    for (const char* sub : {"mini", "full"}) {
        const QString d = carpeta + QLatin1Char('/') + QLatin1String(sub);
        QDir(d).removeRecursively();
        if (!QDir().mkpath(d))
            return false;
        for (int i = 1; i <= n; ++i) {
            const QByteArray origen =
                QFile::encodeName(distintas + QStringLiteral("/mini/") + nombre((i - 1) % kDistintas + 1));
            const QByteArray destino = QFile::encodeName(d + QLatin1Char('/') + nombre(i));
            if (::link(origen.constData(), destino.constData()) != 0)
                return false;
        }
    }
    return escribirArchivo(carpeta + QStringLiteral("/.completa"), {});
}

// --- one measurement, in its own process ------------------------------------------

struct Vigia : QObject {
    Rejilla* rejilla = nullptr;
    double completa = 0;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        // The first paint that finds every cell in view with its thumbnail; the time is
        // taken once that paint is done.
        if (o == rejilla && e->type() == QEvent::Paint && completa == 0 && rejilla->vistaCompleta())
            QTimer::singleShot(0, this, [this] {
                if (completa == 0)
                    completa = ms();
            });
        return false;
    }
};

void esperar(const std::function<bool()>& hecho, double limiteMs)
{
    const double fin = ms() + limiteMs;
    QTimer despertador;
    despertador.start(50);
    while (!hecho() && ms() < fin)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

double rssMiB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return QString::fromLatin1(f.readAll()).section(QLatin1Char(' '), 1, 1).toDouble()
        * double(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

int medir(int argc, char** argv, const QString& carpeta, double inicio)
{
    argcProceso = argc;
    argvProceso = argv;
    prepararApp();
    ControladorRafaga c(carpeta, 2, 1.7e9);
    const double construido = ms();
    Vigia vigia;
    vigia.rejilla = c.rejilla;
    c.rejilla->installEventFilter(&vigia);
    c.ventana->mostrarDelante();
    esperar([&] { return vigia.completa > 0; }, 60000);
    esperar([&] { return c.rejilla->ventanaCompleta(); }, 900000);
    const double todas = ms();
    const int cargadas = c.rejilla->miniaturasCargadas();
    const double rssCargada = rssMiB();

    // Scroll to the end at 380 points (two rows) every 16 ms, a fast flick; a 2 ms
    // heartbeat shows how long the interface thread was ever kept from its events.
    QScrollBar* barra = c.scroll->verticalScrollBar();
    // Context switches tell a stall of our own (waiting: voluntary) from the machine's
    // (preempted: involuntary).
    const auto cambios = [] {
        rusage u{};
        getrusage(RUSAGE_THREAD, &u);
        return std::pair{u.ru_nvcsw, u.ru_nivcsw};
    };
    double ultimo = ms(), ultimoCpu = ms(CLOCK_THREAD_CPUTIME_ID), peor = 0, peorCpu = 0;
    auto ultimosCambios = cambios(), peoresCambios = ultimosCambios;
    std::vector<double> huecos;
    QTimer pulso;
    pulso.setTimerType(Qt::PreciseTimer);
    QObject::connect(&pulso, &QTimer::timeout, [&] {
        const double ahora = ms(), cpu = ms(CLOCK_THREAD_CPUTIME_ID);
        const auto c = cambios();
        huecos.push_back(ahora - ultimo);
        if (ahora - ultimo > peor) {
            peor = ahora - ultimo;
            peorCpu = cpu - ultimoCpu;
            peoresCambios = {c.first - ultimosCambios.first, c.second - ultimosCambios.second};
        }
        ultimo = ahora;
        ultimoCpu = cpu;
        ultimosCambios = c;
    });
    int pasos = 0, completos = 0;
    QEventLoop bucle;
    QTimer desplazar;
    desplazar.setTimerType(Qt::PreciseTimer);
    QObject::connect(&desplazar, &QTimer::timeout, [&] {
        if (barra->value() >= barra->maximum()) {
            bucle.quit();
            return;
        }
        completos += c.rejilla->vistaCompleta();
        barra->setValue(barra->value() + 2 * Rejilla::pasoY);
        ++pasos;
    });
    const double inicioDesplazar = ms();
    pulso.start(2);
    desplazar.start(16);
    bucle.exec();
    pulso.stop();
    desplazar.stop();
    const double duracionDesplazar = ms() - inicioDesplazar;
    std::sort(huecos.begin(), huecos.end());
    const double p99 = huecos.empty() ? 0 : huecos[huecos.size() * 99 / 100];
    esperar([&] { return c.rejilla->ventanaCompleta(); }, 60000);

    // The viewer, one capture after another: with the key held down (events handled
    // between steps, no pause) and as a person looks (a third of a second on each).
    const auto pasoVisor = [&] {
        const double t = ms();
        c.saltar(+1);
        c.visorImagen->repaint();
        return ms() - t;
    };
    c.abrirVisor(c.rejilla->celdas().front()->numero);
    QCoreApplication::processEvents();
    std::vector<double> sostenida, mirando;
    for (int i = 0; i < 30; ++i) {
        sostenida.push_back(pasoVisor());
        QCoreApplication::processEvents();
    }
    for (int i = 0; i < 15; ++i) {
        const double hasta = ms() + 330;
        esperar([&] { return ms() >= hasta; }, 1000);
        mirando.push_back(pasoVisor());
    }
    std::sort(sostenida.begin(), sostenida.end());
    std::sort(mirando.begin(), mirando.end());
    const long pico = picoKiB();

    std::printf("capturas=%zu columnas=%d\n", c.rejilla->celdas().size(), c.rejilla->columnas());
    std::printf("ventana construida (listado, leyendas, celdas): %.0f ms desde el inicio\n", construido - inicio);
    std::printf("primera pantalla completa con miniaturas: %.0f ms desde el inicio\n", vigia.completa - inicio);
    std::printf("miniaturas cargadas: %d en %.0f ms desde el inicio (%s)\n", cargadas, todas - inicio,
                cargadas == int(c.rejilla->celdas().size()) ? "todas"
                                                            : "las que caben en memoria alrededor de la vista");
    std::printf("memoria: %.0f MiB tras cargar; pico %.0f MiB\n", rssCargada, double(pico) / 1024.0);
    std::printf("desplazamiento hasta el final: %d pasos en %.1f s; vista completa en %.0f %% de los pasos\n",
                pasos, duracionDesplazar / 1000, pasos ? 100.0 * completos / pasos : 0.0);
    std::printf("mayor parada del hilo de la interfaz: %.1f ms (%.1f ms de CPU propia, %ld esperas, "
                "%ld expulsiones); p99 %.1f ms\n",
                peor - 2, peorCpu, peoresCambios.first, peoresCambios.second, p99 - 2);
    std::printf("visor, paso a la siguiente con la tecla pulsada: mediana %.1f ms, máximo %.1f ms\n",
                sostenida[sostenida.size() / 2], sostenida.back());
    std::printf("visor, paso a la siguiente tras mirar 1/3 s: mediana %.1f ms, máximo %.1f ms\n",
                mirando[mirando.size() / 2], mirando.back());
    std::fflush(stdout);
    _exit(0);
}

} // namespace

int main(int argc, char** argv)
{
    const double inicio = ms();
    // The parent passes the moment it started us: "from the start" includes starting
    // the process, as when the player runs the mode.
    if (argc >= 4 && QByteArray(argv[1]) == "--medir")
        return medir(argc, argv, QString::fromLocal8Bit(argv[2]), std::min(inicio, atof(argv[3])));

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString datos = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                   : QCoreApplication::applicationDirPath() + QStringLiteral("/../datos-rafaga");
    const QString distintas = datos + QStringLiteral("/distintas");
    if (!generarDistintas(distintas)) {
        std::fprintf(stderr, "no se pudieron escribir las capturas en %s\n", qPrintable(distintas));
        return 1;
    }
    PantallaVirtual pantalla(false, QStringLiteral("1920x1080x24"));
    // The offscreen screen is 800 × 600 unless told: the same as the Xvfb one.
    const QString pantallaSinServidor = datos + QStringLiteral("/pantalla.json");
    escribirArchivo(pantallaSinServidor,
                    R"({"synchronousWindowSystemEvents": false, "windowFrameMargins": false,
                        "screens": [{"name": "uno", "x": 0, "y": 0, "width": 1920, "height": 1080,
                                     "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    if (!pantalla.lista()) {
        std::fprintf(stderr, "no se pudo arrancar Xvfb\n");
        return 1;
    }
    // On the X server as the user sees it, and without one: the offscreen platform
    // leaves out waiting for a display server the loaded machine starves, so its stalls
    // are the program's own.
    for (int n : {1800, 17280})
        for (const char* plataforma : {"xcb", "offscreen"}) {
        const QString carpeta = datos + QLatin1Char('/') + QString::number(n);
        if (!enlazarRafaga(distintas, carpeta, n)) {
            std::fprintf(stderr, "no se pudo preparar %s\n", qPrintable(carpeta));
            return 1;
        }
        std::printf("== ráfaga de %d capturas de 1920x1080, plataforma %s (carga media antes: %s)\n", n,
                    plataforma, qPrintable(cargaMedia()));
        std::fflush(stdout);
        QProcess p;
        QProcessEnvironment entorno = pantalla.entorno();
        entorno.insert(QStringLiteral("QT_QPA_PLATFORM"), plataforma == QByteArray("xcb")
                           ? QStringLiteral("xcb")
                           : QStringLiteral("offscreen:configfile=") + pantallaSinServidor);
        p.setProcessEnvironment(entorno);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--medir"), carpeta, QString::number(ms(), 'f', 3)});
        if (!p.waitForFinished(1800000) || p.exitCode() != 0) {
            std::fprintf(stderr, "la medición no terminó\n");
            return 1;
        }
        std::fputs(p.readAllStandardOutput().constData(), stdout);
        std::printf("carga media después: %s\n", qPrintable(cargaMedia()));
        std::fflush(stdout);
    }
    return 0;
}

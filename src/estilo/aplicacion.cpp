#include "estilo/aplicacion.h"

#include "comun/salida.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTranslator>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// While the application object is being created, the platform's own libraries may write
// straight to file descriptor 2 (Xlib's "Authorization required, but no authorization
// protocol specified"); it points at /dev/null then, and this keeps the real one.
int errorEstandarGuardado = -1;

void apartarErrorEstandar()
{
    std::fflush(stderr);
    errorEstandarGuardado = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    const int nulo = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (errorEstandarGuardado >= 0 && nulo >= 0)
        ::dup2(nulo, STDERR_FILENO);
    if (nulo >= 0)
        ::close(nulo);
}

void devolverErrorEstandar()
{
    if (errorEstandarGuardado < 0)
        return;
    ::dup2(errorEstandarGuardado, STDERR_FILENO);
    ::close(errorEstandarGuardado);
    errorEstandarGuardado = -1;
}

[[noreturn]] void sinPantalla()
{
    aviso(QStringLiteral("no hay pantalla donde mostrar la ventana"));
    salir(1);
}

bool creandoAplicacion = false;

void mensajeQtVentanas(QtMsgType tipo, const QMessageLogContext& contexto, const QString& mensaje)
{
    // Qt gives up with a fatal message (and an abort) when no platform plugin reaches a
    // display: a named display that does not answer, a refused authorisation, a Wayland
    // socket without a Wayland plugin. For the player that is no display at all.
    if (tipo == QtFatalMsg && creandoAplicacion) {
        devolverErrorEstandar();
        sinPantalla();
    }
    mensajeQtCallado(tipo, contexto, mensaje);
}

} // namespace

void prepararApp()
{
    if (!QCoreApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
            && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            sinPantalla();
        // Warnings such as "XDG_RUNTIME_DIR not set" or a launcher that is missing are
        // Qt's business; the user is told what matters in the window itself.
        qInstallMessageHandler(mensajeQtVentanas);
        creandoAplicacion = true;
        apartarErrorEstandar();
        new QApplication(argcProceso, argvProceso);
        devolverErrorEstandar();
        creandoAplicacion = false;
    }
    QApplication::setApplicationName(QStringLiteral("ZorvPlayer"));
    // Our windows end the run through salir(); closing the last one must not quit an
    // event loop that some caller is still waiting in.
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt's own texts (file chooser columns, context menus of fields) in Spanish,
    // whatever the session's language.
    static QTranslator traductor;
    if (traductor.isEmpty()
        && traductor.load(QStringLiteral("qtbase_es"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&traductor);
    if (QStyle* estilo = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(estilo);
}

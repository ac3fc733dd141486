#include "estilo/aplicacion.h"

#include "comun/salida.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTranslator>

namespace {

[[noreturn]] void sinPantalla()
{
    aviso(QStringLiteral("no hay pantalla donde mostrar la ventana"));
    salir(1);
}

bool creandoAplicacion = false;

std::function<void()>& recogerAlPerder()
{
    static std::function<void()> recoger;
    return recoger;
}

// The xcb plugin's last words before it calls exit(1), from its event loop or from
// Xlib's I/O error handler; the Wayland plugin's before its _exit.
bool pantallaRota(QtMsgType tipo, const QString& mensaje)
{
    return tipo == QtWarningMsg
        && (mensaje.startsWith(QLatin1String("The X11 connection broke"))
            || mensaje.startsWith(QLatin1String("The Wayland connection")));
}

void mensajeQtVentanas(QtMsgType tipo, const QMessageLogContext& contexto, const QString& mensaje)
{
    // Qt gives up with a fatal message (and an abort) when no platform plugin reaches a
    // display: a named display that does not answer, a refused authorisation, a Wayland
    // socket without a Wayland plugin. For the player that is no display at all.
    if (tipo == QtFatalMsg && creandoAplicacion)
        sinPantalla();
    if (pantallaRota(tipo, mensaje)) {
        // Once only: what the window does on its way out may hit the same wall.
        static bool saliendo = false;
        if (!saliendo) {
            saliendo = true;
            aviso(QStringLiteral("se perdió la conexión con la pantalla"));
            if (recogerAlPerder())
                recogerAlPerder()();
        }
        salir(1);
    }
    mensajeQtCallado(tipo, contexto, mensaje);
}

} // namespace

void alPerderPantalla(std::function<void()> recoger) { recogerAlPerder() = std::move(recoger); }

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
        {
            // Xlib prints a refused authorisation straight to standard error.
            ErrorEstandarApartado callar;
            new QApplication(argcProceso, argvProceso);
        }
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

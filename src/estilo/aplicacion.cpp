#include "estilo/aplicacion.h"

#include "comun/salida.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTranslator>

void prepararApp()
{
    if (!QCoreApplication::instance()) {
        // Without a display Qt aborts the process; the player should see "no result"
        // with a reason, not a crash.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
            && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
            aviso(QStringLiteral("no hay pantalla donde mostrar la ventana"));
            salir(1);
        }
        new QApplication(argcProceso, argvProceso);
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

#include "estilo/aplicacion.h"

#include "comun/salida.h"

#include <QApplication>
#include <QStyleFactory>

void prepararApp()
{
    if (!QCoreApplication::instance()) {
        static int argcLocal = 1;
        static char nombre[] = "zorv-ventanas";
        static char* argvLocal[] = {nombre, nullptr};
        int& argc = argvProceso ? argcProceso : argcLocal;
        char** argv = argvProceso ? argvProceso : argvLocal;
        new QApplication(argc, argv);
    }
    QApplication::setApplicationName(QStringLiteral("ZorvPlayer"));
    // Our windows end the run through salir(); closing the last one must not quit an
    // event loop that some caller is still waiting in.
    QApplication::setQuitOnLastWindowClosed(false);
    if (QStyle* estilo = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(estilo);
}

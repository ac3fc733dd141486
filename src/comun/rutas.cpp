#include "comun/rutas.h"

#include <QDir>
#include <QFileInfo>

const QString& carpetaDatos()
{
    static const QString carpeta = [] {
        // The XDG rules ignore a relative value.
        const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
        const QString base = (!xdg.isEmpty() && QFileInfo(xdg).isAbsolute())
            ? xdg
            : QDir::homePath() + QStringLiteral("/.local/share");
        return base + QStringLiteral("/ZorvPlayer");
    }();
    return carpeta;
}

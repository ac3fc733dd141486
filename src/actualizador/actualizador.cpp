#include "actualizador/actualizador.h"

#include "actualizador/arbol.h"
#include "actualizador/bloqueo.h"
#include "actualizador/sustituir.h"
#include "comun/rutas.h"
#include "comun/salida.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

int comprobarActualizacion(const OpcionesActualizador& o, const QString& sub, const QString& u,
                           const std::function<void(const QString&)>& log);
int aplicarActualizacion(const OpcionesActualizador& o, const QString& u, const Bloqueo& deA,
                         const std::function<void(const QString&)>& log);

namespace {

// Appends one line to the log, never through a link planted in its place.
void anotar(const QString& ruta, const QByteArray& linea)
{
    const QByteArray nombre = QFile::encodeName(ruta);
    const int flags = O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::open(nombre.constData(), flags, 0644);
    if (fd < 0 && errno == ELOOP && ::unlink(nombre.constData()) == 0)
        fd = ::open(nombre.constData(), flags, 0644);
    if (fd < 0)
        return;
    escribirTodo(fd, linea);
    ::close(fd);
}

// A run that died between the two moves of a swap left no player at A but the
// previous one right beside it: it goes back before anything else happens.
bool recuperarInterrumpida(const OpcionesActualizador& o, const std::function<void(const QString&)>& log)
{
    const QString viejo = o.app + QStringLiteral(".viejo");
    if (o.app.isEmpty() || existe(o.app) || !existe(viejo))
        return true;
    const int error = (o.mover ? o.mover : moverSistema)(viejo, o.app, false);
    if (error != 0) {
        log(QStringLiteral("no se pudo recuperar el programa anterior: ")
            + descripcionError(error));
        return false;
    }
    log(QStringLiteral("recuperado el programa anterior tras una sustitución interrumpida"));
    return true;
}

} // namespace

int correrActualizador(const OpcionesActualizador& o)
{
    const QString sub = o.argumentos.value(0);
    const QString datos = o.argumentos.value(3, carpetaDatos());
    const QString u = datos + QStringLiteral("/update");
    QDir().mkpath(u);
    if (QFile::exists(datos + QStringLiteral("/sin-actualizar")))
        return 0;
    const auto log = [&](const QString& mensaje) {
        anotar(u + QStringLiteral("/actualizador.log"),
               (QDateTime::currentDateTimeUtc().toString(Qt::ISODate) + QStringLiteral(" [") + sub
                + QStringLiteral("] ") + mensaje + QLatin1Char('\n'))
                   .toUtf8());
    };
    const bool aplicar = sub == QLatin1String("aplicar");
    if (!aplicar && sub != QLatin1String("consultar") && sub != QLatin1String("comprobar"))
        return 64;
    const Bloqueo bloqueo(u + QStringLiteral("/actualizador.bloqueo"));
    if (!bloqueo.tomado()) {
        log(bloqueo.ocupado()
                ? QStringLiteral("otra actualización en curso, no se hace nada")
                : QStringLiteral("no se pudo bloquear la carpeta de actualizaciones: ") + bloqueo.error());
        return 1;
    }
    // Only the run holding the lock beside the player touches it; a check for another
    // data folder leaves the recovery to that run.
    const QFileInfo app(o.app);
    const Bloqueo deA(o.app.isEmpty() ? QString()
                                      : app.path() + QStringLiteral("/.") + app.fileName() + QStringLiteral(".bloqueo"));
    if (deA.tomado() && !recuperarInterrumpida(o, log))
        return 1;
    return aplicar ? aplicarActualizacion(o, u, deA, log) : comprobarActualizacion(o, sub, u, log);
}

void actualizador(const QStringList& args)
{
    OpcionesActualizador o;
    o.argumentos = args;
    const QString app = qEnvironmentVariable("ZORV_APP");
    // Without a trailing slash: the paths beside it are made by appending to it.
    o.app = QDir::cleanPath(app.isEmpty() ? QStringLiteral("/opt/ZorvPlayer") : app);
    salir(correrActualizador(o));
}

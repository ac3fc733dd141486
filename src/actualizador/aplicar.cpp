#include "actualizador/actualizador.h"

#include "actualizador/arbol.h"
#include "actualizador/bloqueo.h"
#include "actualizador/desempaquetar.h"
#include "actualizador/sustituir.h"
#include "comun/ejecutar.h"
#include "comun/json.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool jugadorAbierto(const QString& app)
{
    // pgrep reads the pattern as a regular expression: the path must match literally.
    return ejecutar(QStringLiteral("/usr/bin/pgrep"),
                    {QStringLiteral("-f"),
                     QRegularExpression::escape(app + QStringLiteral("/usr/bin/mpv"))})
               .estado
        == 0;
}

// The new player must not belong to this short-lived process: its own session, not
// waited for, no zombie left behind. A close-on-exec pipe tells whether the program
// really started: it closes empty on success and carries errno when exec failed.
QString lanzarSeparado(const QString& programa)
{
    const QByteArray ruta = QFile::encodeName(programa);
    int tubo[2];
    if (::pipe2(tubo, O_CLOEXEC) != 0)
        return descripcionError(errno);
    const pid_t hijo = fork();
    if (hijo == 0) {
        ::close(tubo[0]);
        setsid();
        if (fork() == 0) {
            const int nulo = ::open("/dev/null", O_RDWR);
            if (nulo >= 0) {
                dup2(nulo, 0);
                dup2(nulo, 1);
                dup2(nulo, 2);
            }
            execl(ruta.constData(), ruta.constData(), static_cast<char*>(nullptr));
            const int error = errno;
            [[maybe_unused]] const ssize_t n = ::write(tubo[1], &error, sizeof error);
            _exit(127);
        }
        _exit(0);
    }
    ::close(tubo[1]);
    int error = hijo < 0 ? errno : 0;
    if (hijo > 0) {
        waitpid(hijo, nullptr, 0);
        int leido = 0;
        ssize_t n;
        while ((n = ::read(tubo[0], &leido, sizeof leido)) < 0 && errno == EINTR) {
        }
        if (n == static_cast<ssize_t>(sizeof leido))
            error = leido;
    }
    ::close(tubo[0]);
    return error == 0 ? QString() : descripcionError(error);
}

// What runs that died left beside A once A is in place: the previous player of an
// interrupted swap and copies that were being staged. The lock beside A is ours, so no
// other run is using them.
void limpiarRestos(const QString& a)
{
    if (!existe(a))
        return;
    borrarArbol(a + QStringLiteral(".viejo"));
    const QFileInfo info(a);
    quitarRestos(info.path(), info.fileName() + QStringLiteral(".nuevo"));
}

} // namespace

int aplicarActualizacion(const OpcionesActualizador& o, const QString& u, const Bloqueo& deA,
                         const std::function<void(const QString&)>& log)
{
    const QString pendiente = u + QStringLiteral("/pendiente.json");
    const std::optional<QJsonObject> prep = leerJSON(pendiente);
    if (!prep || !prep->value(QStringLiteral("version")).isString()
        || !prep->value(QStringLiteral("dmg")).isString())
        return 0;
    const QString version = prep->value(QStringLiteral("version")).toString();
    const QString p = prep->value(QStringLiteral("dmg")).toString();
    const QString a = o.app;
    // Whoever can write the data folder could name an older, genuinely signed version
    // with known faults.
    const QString instalada = o.argumentos.value(2, QStringLiteral("0.0.0"));
    if (!masNueva(version, instalada)) {
        log(QStringLiteral("la versión ") + version + QStringLiteral(" no es más nueva que la instalada (")
            + instalada + QStringLiteral("), no se aplica"));
        return 1;
    }
    // Another data folder means another lock of the update folder: runs for the same
    // player meet at the lock beside it.
    if (!deA.tomado()) {
        log(deA.ocupado() ? QStringLiteral("otra actualización en curso, no se hace nada")
                          : QStringLiteral("no se pudo bloquear el programa instalado: ") + deA.error());
        return 1;
    }
    if (jugadorAbierto(a)) {
        for (int i = 0; i < o.esperasJugador; ++i) {
            QThread::msleep(static_cast<unsigned long>(o.msEntreEsperas));
            if (!jugadorAbierto(a))
                break;
        }
    }
    if (jugadorAbierto(a)) {
        log(QStringLiteral("ZorvPlayer sigue abierto, no se aplica"));
        return 1;
    }
    // Earlier versions unpacked into the temporary folder; what their killed runs left
    // there would stay for ever.
    quitarRestos(QDir::tempPath(), QStringLiteral("zorvplayer"));
    limpiarRestos(a);
    // Unpacked right beside A, in a fresh private folder on A's own file system: the swap
    // is then one rename, and no second copy of every file has to be written and removed.
    const CarpetaNueva s(a + QStringLiteral(".nuevo-XXXXXX"));
    if (!s.valida()) {
        log(QStringLiteral("no se pudo copiar (¿sin permiso en ") + a + QStringLiteral("?)"));
        return 1;
    }
    const Desempaquetado paquete = desempaquetar(p, s.ruta(), version, o.maximoExpandido);
    if (paquete.estado == Desempaquetado::NoAbre) {
        log(QStringLiteral("no se pudo abrir el paquete"));
        return 1;
    }
    if (paquete.estado == Desempaquetado::NoFirmado) {
        log(QStringLiteral("el programa nuevo no está firmado por ZORV, no se aplica"));
        return 1;
    }
    // A power cut after the swap must not leave a player whose files never reached the
    // disk, nor a swap that is undone while its update counts as applied.
    const QString nuevo = s.ruta() + QStringLiteral("/ZorvPlayer");
    if (const int error = volcar(nuevo, true)) {
        log(QStringLiteral("no se pudo asegurar en disco el programa nuevo: ") + descripcionError(error));
        return 1;
    }
    const Sustitucion hecha = sustituir(nuevo, a, a + QStringLiteral(".viejo"),
                                        o.mover ? o.mover : moverSistema);
    if (!hecha.error.isEmpty()) {
        log(QStringLiteral("no se pudo sustituir el programa: ") + hecha.error);
        return 1;
    }
    if (const int error = volcar(QFileInfo(a).path(), false)) {
        log(QStringLiteral("no se pudo asegurar en disco la sustitución: ") + descripcionError(error));
        return 1;
    }
    QFile::remove(pendiente);
    QFile::remove(u + QStringLiteral("/disponible.json"));
    QFile::remove(p);
    log(QStringLiteral("aplicada ") + version);
    int estado = 0;
    if (QFile::exists(u + QStringLiteral("/reiniciar"))) {
        QFile::remove(u + QStringLiteral("/reiniciar"));
        const QString error = lanzarSeparado(a + QStringLiteral("/AppRun"));
        log(error.isEmpty() ? QStringLiteral("reabierto tras actualizar")
                            : QStringLiteral("no se pudo reabrir el programa: ") + error);
        estado = error.isEmpty() ? 0 : 1;
    }
    // Last, once the new player is in use: removing tens of thousands of files can take
    // longer than everything else together, on a disk that discards freed blocks.
    borrarArbol(hecha.anterior);
    return estado;
}

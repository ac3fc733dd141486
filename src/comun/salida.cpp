#include "comun/salida.h"

#include "comun/nombres.h"

#include <QByteArray>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

QString script;
QStringList argumentos;
namespace {
char nombrePrograma[] = "zorv-ventanas";
char* argvSustituto[] = {nombrePrograma, nullptr};
} // namespace
int argcProceso = 1;
char** argvProceso = argvSustituto;

namespace {

// A plain write(2) loop: the player may read through a pipe, and a short write must
// not lose the tail of a result.
void escribirTodo(int fd, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    qsizetype falta = bytes.size();
    while (falta > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(falta));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        p += n;
        falta -= n;
    }
}

} // namespace

void salir(int estado, const QString& texto)
{
    std::fflush(nullptr);
    if (!texto.isEmpty())
        escribirTodo(STDOUT_FILENO, bytesDeTexto(texto));
    // _exit rather than exit: windows and worker threads may still be alive, and
    // static destructors racing them have nothing to add to a finished job.
    ::_exit(estado);
}

void aviso(const QString& texto)
{
    escribirTodo(STDERR_FILENO, bytesDeTexto(texto + QLatin1Char('\n')));
}

void escribirSalida(const QString& texto)
{
    if (!texto.isEmpty())
        escribirTodo(STDOUT_FILENO, bytesDeTexto(texto));
}

void mensajeQtCallado(QtMsgType tipo, const QMessageLogContext&, const QString& mensaje)
{
    if (tipo == QtFatalMsg || tipo == QtCriticalMsg)
        aviso(mensaje);
}

void callarMensajesQt()
{
    qInstallMessageHandler(mensajeQtCallado);
}

#include "comun/salida.h"

#include "comun/nombres.h"

#include <QByteArray>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZORV_CON_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(ZORV_CON_ASAN)
#include <sanitizer/lsan_interface.h>
#define ZORV_REVISAR_FUGAS() __lsan_do_leak_check()
#else
#define ZORV_REVISAR_FUGAS() ((void)0)
#endif

QString script;
QStringList argumentos;
namespace {
char nombrePrograma[] = "zorv-ventanas";
char* argvSustituto[] = {nombrePrograma, nullptr};
} // namespace
int argcProceso = 1;
char** argvProceso = argvSustituto;

namespace {

// Where `aviso` writes: standard error, or the copy of it kept while an
// ErrorEstandarApartado has pointed descriptor 2 elsewhere.
int descriptorAvisos = STDERR_FILENO;

} // namespace

// A plain write(2) loop: the player may read through a pipe, and a short write must
// not lose the tail of a result.
bool escribirTodo(int fd, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    qsizetype falta = bytes.size();
    while (falta > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(falta));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        falta -= n;
    }
    return true;
}

void salir(int estado, const QString& texto)
{
    std::fflush(nullptr);
    if (!texto.isEmpty())
        escribirTodo(STDOUT_FILENO, bytesDeTexto(texto));
    // _exit skips the leak check a sanitizer build makes at exit: make it here, so the
    // whole-program runs of the tests are checked too.
    ZORV_REVISAR_FUGAS();
    // _exit rather than exit: windows and worker threads may still be alive, and
    // static destructors racing them have nothing to add to a finished job.
    ::_exit(estado);
}

void aviso(const QString& texto)
{
    escribirTodo(descriptorAvisos, bytesDeTexto(texto + QLatin1Char('\n')));
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

ErrorEstandarApartado::ErrorEstandarApartado()
{
    if (descriptorAvisos != STDERR_FILENO)
        return; // already set aside by an outer one
    std::fflush(stderr);
    const int nulo = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    guardado_ = nulo < 0 ? -1 : ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (guardado_ >= 0 && ::dup2(nulo, STDERR_FILENO) >= 0) {
        descriptorAvisos = guardado_;
    } else if (guardado_ >= 0) {
        ::close(guardado_);
        guardado_ = -1;
    }
    if (nulo >= 0)
        ::close(nulo);
}

ErrorEstandarApartado::~ErrorEstandarApartado()
{
    if (guardado_ < 0)
        return;
    ::dup2(guardado_, STDERR_FILENO);
    ::close(guardado_);
    descriptorAvisos = STDERR_FILENO;
}

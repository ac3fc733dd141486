#include "comun/salida.h"

#include <QByteArray>
#include <cerrno>
#include <cstdio>
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
        escribirTodo(STDOUT_FILENO, texto.toUtf8());
    // _exit skips the leak check a sanitizer build makes at exit: make it here, so the
    // whole-program runs of the tests are checked too.
    ZORV_REVISAR_FUGAS();
    // _exit rather than exit: windows and worker threads may still be alive, and
    // static destructors racing them have nothing to add to a finished job.
    ::_exit(estado);
}

void aviso(const QString& texto)
{
    escribirTodo(STDERR_FILENO, (texto + QLatin1Char('\n')).toUtf8());
}

void escribirSalida(const QString& texto)
{
    if (!texto.isEmpty())
        escribirTodo(STDOUT_FILENO, texto.toUtf8());
}

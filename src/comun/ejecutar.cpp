#include "comun/ejecutar.h"

#include "comun/nombres.h"

#include <QProcess>
#include <QStringDecoder>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Reloj = std::chrono::steady_clock;

// A child that ignores SIGTERM must not hang the caller for ever: after this grace
// period what is left of its group is killed.
constexpr auto kGraciaTerminar = std::chrono::milliseconds(5000);
// How often a running child is looked at while nothing arrives on its pipe.
constexpr int kPasoMs = 100;

QString textoUtf8(const QByteArray& bytes)
{
    QStringDecoder decodificador(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString texto = decodificador.decode(bytes);
    if (decodificador.hasError())
        return QString();
    return texto;
}

struct Hijo {
    pid_t pid = -1;
    int tubo = -1; // read end of its standard output
};

// Starts the program as the leader of a process group of its own, so that at the time
// limit everything it started can be ended with it. The path is used as given (never
// looked up in PATH). Its standard input is `entrada`, read from a pipe, or the null
// device when empty. Nothing when it cannot be started.
std::optional<Hijo> lanzar(const QString& programa, const QStringList& args, const QByteArray& entrada)
{
    if (programa.isEmpty())
        return std::nullopt;
    std::vector<QByteArray> palabras{bytesDeTexto(programa)};
    for (const QString& a : args)
        palabras.push_back(bytesDeTexto(a));
    std::vector<char*> argv;
    for (QByteArray& p : palabras)
        argv.push_back(p.data());
    argv.push_back(nullptr);

    // Close-on-exec, so that a child started at the same time by another thread does not
    // inherit our write end and keep the pipe open after ours has finished.
    int tubo[2];
    if (::pipe2(tubo, O_CLOEXEC) != 0)
        return std::nullopt;
    // What the program reads waits in the pipe before it starts, so writing can neither
    // block nor meet a reader that has gone: it must fit the pipe's buffer (4 KiB at least).
    int entra[2] = {-1, -1};
    if (!entrada.isEmpty()) {
        bool dentro = entrada.size() <= 4096 && ::pipe2(entra, O_CLOEXEC) == 0;
        if (dentro) {
            dentro = ::write(entra[1], entrada.constData(), size_t(entrada.size())) == entrada.size();
            ::close(entra[1]);
            if (!dentro)
                ::close(entra[0]);
        }
        if (!dentro) {
            ::close(tubo[0]);
            ::close(tubo[1]);
            return std::nullopt;
        }
    }
    posix_spawn_file_actions_t acciones;
    posix_spawn_file_actions_init(&acciones);
    if (entra[0] >= 0)
        posix_spawn_file_actions_adddup2(&acciones, entra[0], STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&acciones, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&acciones, tubo[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&acciones, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t atributos;
    posix_spawnattr_init(&atributos);
    posix_spawnattr_setpgroup(&atributos, 0);
    // The child starts with no signal blocked or ignored, whatever this process does.
    sigset_t ninguna, todas;
    sigemptyset(&ninguna);
    sigfillset(&todas);
    sigdelset(&todas, SIGKILL);
    sigdelset(&todas, SIGSTOP);
    posix_spawnattr_setsigmask(&atributos, &ninguna);
    posix_spawnattr_setsigdefault(&atributos, &todas);
    posix_spawnattr_setflags(&atributos,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, argv[0], &acciones, &atributos, argv.data(), environ);
    posix_spawnattr_destroy(&atributos);
    posix_spawn_file_actions_destroy(&acciones);
    ::close(tubo[1]);
    if (entra[0] >= 0)
        ::close(entra[0]);
    if (error != 0) {
        ::close(tubo[0]);
        return std::nullopt;
    }
    return Hijo{pid, tubo[0]};
}

// True once the child has ended. It is not reaped here: while its zombie exists its
// process id, and so its group id, cannot be given to anyone else, and signalling the
// group stays safe.
bool haTerminado(pid_t pid)
{
    siginfo_t info{};
    while (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        if (errno != EINTR)
            return true;
    return info.si_pid == pid;
}

// Waits up to `ms` for output and appends it (discards it when `destino` is null); closes
// the pipe at end of file.
void leerTubo(Hijo& h, int ms, QByteArray* destino)
{
    pollfd p{h.tubo, POLLIN, 0};
    const int listos = ::poll(&p, 1, ms);
    if (listos <= 0)
        return;
    char bloque[65536];
    const ssize_t n = ::read(h.tubo, bloque, sizeof bloque);
    if (n > 0) {
        if (destino)
            destino->append(bloque, n);
    } else if (n == 0 || errno != EINTR) {
        ::close(h.tubo);
        h.tubo = -1;
    }
}

// Waits until the child has ended and its pipe is closed, or until `hasta`; true when
// both happened. Without `hasta` it waits as long as it takes.
bool esperarFin(Hijo& h, std::optional<Reloj::time_point> hasta, QByteArray* salida)
{
    for (;;) {
        const bool terminado = haTerminado(h.pid);
        if (terminado && h.tubo < 0)
            return true;
        int ms = h.tubo < 0 ? 10 : kPasoMs;
        if (hasta) {
            const auto resta =
                std::chrono::duration_cast<std::chrono::milliseconds>(*hasta - Reloj::now()).count();
            if (resta <= 0)
                return false;
            ms = int(std::min<long long>(ms, resta));
        }
        if (h.tubo >= 0)
            leerTubo(h, ms, salida);
        else if (!hasta)
            return true; // pipe closed, no limit: reaping below waits for the child
        else
            ::poll(nullptr, 0, ms);
    }
}

int recoger(pid_t pid)
{
    int estado = 0;
    while (::waitpid(pid, &estado, 0) < 0)
        if (errno != EINTR)
            return -1;
    if (WIFEXITED(estado))
        return WEXITSTATUS(estado);
    // As the platform reports a child killed by a signal: the signal's number.
    return WIFSIGNALED(estado) ? WTERMSIG(estado) : -1;
}

// The time limit: SIGTERM to the whole group, a grace period in which its output is
// drained and thrown away, then SIGKILL to whatever is left.
void terminarGrupo(Hijo& h)
{
    ::kill(-h.pid, SIGTERM);
    esperarFin(h, Reloj::now() + kGraciaTerminar, nullptr);
    ::kill(-h.pid, SIGKILL);
    if (h.tubo >= 0)
        ::close(h.tubo);
    h.tubo = -1;
}

} // namespace

ResultadoProceso ejecutar(const QString& programa, const QStringList& args,
                          std::optional<double> esperar, const QByteArray& entrada)
{
    std::optional<Hijo> hijo = lanzar(programa, args, entrada);
    if (!hijo)
        return {-1, QString()};
    std::optional<Reloj::time_point> limite;
    // A limit beyond any real run (or not a number) is no limit.
    if (esperar && std::isfinite(*esperar) && *esperar < 1.0e9)
        limite = Reloj::now() + std::chrono::duration_cast<Reloj::duration>(
                                    std::chrono::duration<double>(std::max(0.0, *esperar)));

    // The pipe is read to its end, not only until the child exits: a program that
    // forks may leave the last of its output to a child of its own.
    QByteArray bytes;
    if (!esperarFin(*hijo, limite, &bytes)) {
        terminarGrupo(*hijo);
        recoger(hijo->pid);
        return {-2, QString()};
    }
    const int estado = recoger(hijo->pid);
    return {estado, textoUtf8(bytes)};
}

void acabaConEsteProceso(QProcess& proceso, int senal)
{
    const pid_t padre = ::getpid();
    proceso.setChildProcessModifier([padre, senal] {
        ::prctl(PR_SET_PDEATHSIG, senal);
        // This process may have died between the fork and the line above.
        if (::getppid() != padre)
            ::raise(senal);
    });
}

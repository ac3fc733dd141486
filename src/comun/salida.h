#pragma once
// How every run talks back to the player: the result on standard output in one piece,
// diagnostics on standard error, and the exit status.
#include <QString>
#include <QtGlobal>
#include <QStringList>

// The mode word and the arguments after it; written once by main before dispatch.
extern QString script;
extern QStringList argumentos;

// What the GUI modes hand to QApplication, which wants references that outlive it: the
// program name alone. The player's arguments are ours (`argumentos`); given to Qt, a word
// like "-platform" or "-reverse" would be obeyed as an option of its own.
extern int argcProceso;
extern char** argvProceso;

// Writes `texto` unchanged (no newline added) and ends the process with `estado`. Text
// holding names that came in as bytes that are not UTF-8 goes out as those same bytes.
[[noreturn]] void salir(int estado, const QString& texto = QString());

// One diagnostic line on standard error.
void aviso(const QString& texto);

// Writes text to standard output right away, for the modes that report in batches.
void escribirSalida(const QString& texto);

// Writes all of `bytes` to `fd`, going on after short writes and signals; false when the
// descriptor takes no more.
bool escribirTodo(int fd, const QByteArray& bytes);

// Keeps Qt's own chatter (and the image codecs' it passes on: "libpng error", corrupt JPEG
// data, allocation limits) off standard error, where the player expects only our lines.
// Critical and fatal messages still get through, one line each.
void callarMensajesQt();
void mensajeQtCallado(QtMsgType tipo, const QMessageLogContext& contexto, const QString& mensaje);

// While one of these lives, file descriptor 2 points at /dev/null, for library code that
// writes there itself rather than through Qt (libpng's default error handler, Xlib while
// the display is opened). `aviso` still reaches the real standard error meanwhile. Sanitizer
// builds do the same, to behave as the one shipped: a fault in this window still aborts
// the run, only its report is not seen.
class ErrorEstandarApartado {
public:
    ErrorEstandarApartado();
    ~ErrorEstandarApartado();
    ErrorEstandarApartado(const ErrorEstandarApartado&) = delete;
    ErrorEstandarApartado& operator=(const ErrorEstandarApartado&) = delete;

private:
    int guardado_ = -1;
};

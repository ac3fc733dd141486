#pragma once
// How every run talks back to the player: the result on standard output in one piece,
// diagnostics on standard error, and the exit status.
#include <QString>
#include <QStringList>

// The mode word and the arguments after it; written once by main before dispatch.
extern QString script;
extern QStringList argumentos;

// The process's own argc/argv, kept for the GUI modes: QApplication wants references
// that outlive it. Until main records them (in-process tests), a one-word stand-in.
extern int argcProceso;
extern char** argvProceso;

// Writes `texto` unchanged (no newline added) and ends the process with `estado`.
[[noreturn]] void salir(int estado, const QString& texto = QString());

// One diagnostic line on standard error.
void aviso(const QString& texto);

// Writes text to standard output right away, for the modes that report in batches.
void escribirSalida(const QString& texto);

#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

struct ResultadoProceso {
    int estado = -1; // -1 did not start, -2 time limit reached and terminated
    QString salida;  // standard output as UTF-8; empty when it was not valid UTF-8
};

// Runs the program at `programa` (a path, never looked up in PATH) and waits for it.
// Standard error goes to the null device. Blocks the caller for the whole run.
// The output is read until the pipe closes, so what a child of the program writes after
// the program itself has ended is kept. The program leads a process group of its own:
// when `esperar` seconds pass before the program has ended and its output is complete,
// the whole group is terminated (SIGTERM, then SIGKILL after a grace period) and the
// result is -2. With `entrada` (at most 4 KiB), the program reads it on its standard
// input, which is otherwise the null device: a way to hand it a secret that its command
// line, readable by every local user, must not show.
ResultadoProceso ejecutar(const QString& programa, const QStringList& args,
                          std::optional<double> esperar = std::nullopt, const QByteArray& entrada = {});

class QProcess;

// The child `proceso` starts receives `senal` when this process ends, however it ends (a
// kill included), instead of running on alone: a download or a recording nobody will
// ever collect. Only for a child that the starting thread waits for: the kernel sends the
// signal when that thread ends.
void acabaConEsteProceso(QProcess& proceso, int senal);

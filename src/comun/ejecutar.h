#pragma once
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
// result is -2.
ResultadoProceso ejecutar(const QString& programa, const QStringList& args,
                          std::optional<double> esperar = std::nullopt);

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
ResultadoProceso ejecutar(const QString& programa, const QStringList& args,
                          std::optional<double> esperar = std::nullopt);

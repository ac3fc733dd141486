#pragma once
// The check of a case folder that anyone can run again, at any time, on any copy of the
// folder: every file the register names is read once and hashed, its size and its record
// compared with the register, and the register's chain followed line by line.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

// Writes one line per problem, then a summary line, through `escribir` (without line
// breaks); `avance` hears how many of the registered bytes have been read. Returns 0 when
// everything matches, 1 otherwise (a folder or register that cannot be read included).
int verificarCarpeta(const QString& carpeta, const std::function<void(const QString&)>& escribir,
                     const std::function<void(int64_t hechos, int64_t total)>& avance = {});

// The "verificar" mode: argument 0 is the case folder. Lines on standard output, progress
// on standard error; exits 0, 1, or 64 for a wrong command line.
[[noreturn]] void verificarCaso(const QStringList& argumentos);

#pragma once
// Putting a new tree where the installed player is, so that at every moment one
// complete player is either at its place or, after a crash, right beside it.
#include <QString>
#include <functional>

// The system's words for an errno value, for the log.
QString descripcionError(int error);

// Renames `de` to `a`, or swaps the two when `intercambio`; 0 or an errno value.
using Mover = std::function<int(const QString& de, const QString& a, bool intercambio)>;
int moverSistema(const QString& de, const QString& a, bool intercambio);

struct Sustitucion {
    QString error;    // the failed move's description; empty on success
    QString anterior; // on success, where the previous tree now is
};

// Swaps `nuevo` and `a` in one step. Where the file system cannot, moves `a` to
// `viejo` and `nuevo` to `a`, moving `viejo` back when the second move fails.
Sustitucion sustituir(const QString& nuevo, const QString& a, const QString& viejo, const Mover& mover);

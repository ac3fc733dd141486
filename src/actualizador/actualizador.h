#pragma once
// The "actualizador" mode: finds, downloads, verifies and installs player updates,
// reporting only through files in the update folder, its log and the exit status.
#include "actualizador/ultima.h"

#include <QString>
#include <QStringList>
#include <functional>

// What a run needs besides its arguments. The release entry fills it with fixed
// values; only the tests, in-process, set the hooks. The signing key is never here.
struct OpcionesActualizador {
    QStringList argumentos;
    QString app;                // A; the release entry reads ZORV_APP
    bool permitirHttp = false;  // the tests serve over plain http on loopback
    QString certificados;       // or over https with a certificate of their own
    int esperasJugador = 60;    // tries while the player is still running
    int msEntreEsperas = 1000;
    // Bound on the bytes a package may expand to; free space in the temporary folder
    // bounds it too.
    qint64 maximoExpandido = qint64(4) << 30;
    // Renames a path, or swaps two when the flag is set (renameat2 when unset); the
    // tests make the swap fail with it. Returns 0 or an errno value.
    std::function<int(const QString& de, const QString& a, bool intercambio)> mover;
};

// Runs one sub-mode and gives the exit status.
int correrActualizador(const OpcionesActualizador& opciones);

// Entry of the mode; ends the process.
void actualizador(const QStringList& args);

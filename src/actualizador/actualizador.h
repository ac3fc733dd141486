#pragma once
// The "actualizador" mode: finds, downloads, verifies and installs player updates,
// reporting only through files in the update folder, its log and the exit status.
#include <QString>
#include <QStringList>
#include <functional>

// What a run needs besides its arguments. The release entry fills it with fixed
// values; only the tests, in-process, set the hooks. The signing key is never here.
struct OpcionesActualizador {
    QStringList argumentos;
    QString app;                // A; the release entry reads ZORV_APP
    bool permitirHttp = false;  // the tests serve over plain http on loopback
    int esperasJugador = 60;    // tries while the player is still running
    int msEntreEsperas = 1000;
    // Renames a path (plain rename when unset); the tests make the swap fail with it.
    // Returns an error text, or an empty one on success.
    std::function<QString(const QString&, const QString&)> mover;
};

// Runs one sub-mode and gives the exit status.
int correrActualizador(const OpcionesActualizador& opciones);

// Entry of the mode; ends the process.
void actualizador(const QStringList& args);

// Whether version text nueva is newer than actual (dotted numbers).
bool masNueva(const QString& nueva, const QString& actual);

// The safe listing check of a package: tar can list it, and every member lies under
// "ZorvPlayer/" with no absolute path, no "..", no device, and links that stay inside.
bool paqueteSeguro(const QString& ruta);

#pragma once
// The "actualizador" mode: finds, downloads, verifies and installs player updates,
// reporting only through files in the update folder, its log and the exit status.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

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

// What "latest.json" announces. Nothing when the body is not a JSON object with a text
// "version" fit to name files; `completa` only when the "linux" entry holds text "url",
// "sha256" and "sig".
struct Publicacion {
    QString version;
    QString notas;  // empty when absent or not text
    bool completa = false;
    QString url, sha256, sig;
};
std::optional<Publicacion> leerPublicacion(const QByteArray& cuerpo);

// The safe listing check of a package: tar can list it, and every member lies under
// "ZorvPlayer/" with no absolute path, no "..", no device, and links that stay inside.
bool paqueteSeguro(const QString& ruta);
// The same check over the listing itself, as "tar -tv --quoting-style=c" prints it.
bool listadoSeguro(const QString& listado);

// The lines of a signed manifest: relative path to its digest. Nothing when a line is
// neither a digest line nor the team line, a path repeats, or the team line is missing.
std::optional<QHash<QString, QString>> leerManifiesto(const QByteArray& manifiesto);

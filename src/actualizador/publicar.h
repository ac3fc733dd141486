#pragma once
// The maker's side of an update: from a player's folder to the package, its signed
// manifest and the "latest.json" entry that "comprobar" and "aplicar" accept. The
// package is held against the updater's own readers before it is handed out.
#include <QString>
#include <QStringList>

struct Publicacion {
    QString error;      // empty when published
    QStringList avisos; // what the maker should know even so
    QString paquete;    // SALIDA + "/ZorvPlayer-" + version + ".tar.gz"
    QString ultima;     // SALIDA + "/latest.json"
};

// Publishes the folder `app` (AppRun at its top) as `version`, signing with the RSA
// private key in the PEM file `clave`. The "url" of the entry is `direccion` + "/" + the
// package's name, or the name alone without one. Keys of an existing latest.json other
// than "version" and "linux" (the notes, other platforms) are kept.
Publicacion publicar(const QString& app, const QString& version, const QString& clave,
                     const QString& salida, const QString& direccion);

#pragma once
// The server's "latest.json", read from its bytes alone.
#include <QByteArray>
#include <QString>

struct Ultima {
    // Ilegible: not a JSON object, no text "version", or a version that could name a
    // path elsewhere. Incompleta: the "linux" entry lacks a text "url", "sha256" or "sig".
    enum Estado { Ilegible, Incompleta, Valida } estado = Ilegible;
    QString version, notas, url, sha256, firma;
};

Ultima leerUltima(const QByteArray& cuerpo);

// The version names the package file and the folder it is unpacked in; any text is a
// version except one that could climb out of those folders.
bool versionSegura(const QString& version);

// Whether version text nueva is newer than actual: dotted decimal parts, compared in
// order; a part that is not a number counts as 0.
bool masNueva(const QString& nueva, const QString& actual);

#pragma once
// File names and command-line words are bytes, not text: a folder "caf\xe9" made by an old
// camera export or a Latin-1 system is as real as any other. These two functions carry such
// names through QString and back unchanged: valid UTF-8 becomes its characters, every byte
// that is not part of valid UTF-8 becomes the lone surrogate U+DC80-U+DCFF of its value.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

QString textoDeBytes(const QByteArray& bytes);
// The exact bytes `textoDeBytes` was given; for ordinary text, its UTF-8.
QByteArray bytesDeTexto(const QString& texto);

// The names in `carpeta` (not "." and ".."), in directory order; empty when the folder
// cannot be listed, an empty path included (it must never mean the working directory).
QStringList nombresEnCarpeta(const QString& carpeta);

// What the listing modes need to know of one entry, following symbolic links; nothing
// when it cannot be read.
struct InfoEntrada {
    bool carpeta = false;
    QDateTime modificada; // invalid when the file system gives none
};
std::optional<InfoEntrada> infoEntrada(const QString& ruta);

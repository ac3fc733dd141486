#pragma once
// Putting a recording from a device into the file the user will open. The bytes go first
// into a temporary file beside it and take the final name only once whole, so a transfer
// that fails, or a run that is killed halfway, never leaves part of a recording under a
// name that looks like a whole one, and a file already there is only ever replaced by a
// whole one.
#include "grabadores/http.h"

#include <QString>
#include <optional>

// `destino` without its extension + ".descarga"; `destino` + ".descarga" when that would be
// `destino` itself.
QString rutaTemporal(const QString& destino);

// Gives `temporal` the name `destino` in one step, replacing what is there. Throws
// ErrorCamara, and then `temporal` is gone too.
void colocar(const QString& temporal, const QString& destino);

// `pedir` into rutaTemporal(destino), then colocar. Only the device named by `url` is asked:
// a redirection elsewhere is an answer, not a recording. Throws ErrorCamara; nothing of a
// failed download is left.
void descargarA(const Origen& origen, const QString& url, const QString& metodo,
                const std::optional<QString>& cuerpo, const QString& destino,
                const Progreso& progreso);

// A name taken from a device made into a single file-name component: folder separators and
// control characters become "_", and it is never empty, "." or "..".
QString componenteSeguro(QString nombre);

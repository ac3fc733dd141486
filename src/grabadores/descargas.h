#pragma once
// Putting what a device sends into the file the user will open: files that need work
// after the transfer (VStarcam's raw recordings, their conversion) wait under a temporary
// name beside it and take the final name only once whole; names a device supplies become
// one harmless file-name component.
#include <QString>

// `destino` without its extension + ".descarga"; `destino` + ".descarga" when that would be
// `destino` itself.
QString temporalDescarga(const QString& destino);

// Gives `temporal` the name `destino` in one step, replacing what is there. Throws
// ErrorCamara, and then `temporal` is gone too.
void renombrarDescarga(const QString& temporal, const QString& destino);

// A name taken from a device made into a single file-name component: folder separators and
// control characters become "_", and it is never empty, "." or "..".
QString componenteSeguro(QString nombre);

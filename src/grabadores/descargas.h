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

// C0 and C1 control characters and the Unicode line and paragraph separators: what no name
// shown on one line, or written on one line for the player, may hold.
bool esControl(QChar c);

// A name from outside (a device's listing, a drive's label or files) made into ONE visible
// file-name component: folder separators and control characters become `sustituto`; a
// name that starts with a dot (a hidden file, "." and "..") gets `sustituto` in front, so
// its extension stays; an empty name is `sustituto` alone.
QString componenteSeguro(QString nombre, QChar sustituto = QLatin1Char('_'));

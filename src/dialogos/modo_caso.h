#pragma once
#include <QString>
#include <QStringList>

// The 30 most recently modified visible sub-folders of `base`, newest first.
QStringList carpetasDeCaso(const QString& base);

// A typed case name made safe: `limpio`, then no trailing dots or spaces (names the
// file system would silently change, or reduce to nothing).
QString nombreDeCaso(const QString& texto);

[[noreturn]] void modoCaso(const QString& base, const QString& sugerido);

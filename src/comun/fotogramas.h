#pragma once
// Helpers shared by the analysis modes, which read frames the player exported.
#include <QString>
#include <QStringList>
#include <optional>

// Names (not paths) in `carpeta` whose lower-cased form ends with `extension`
// (".png"), sub-folders left out, sorted by plain character order. Empty when the
// folder can't be listed. Names that are not UTF-8 are kept (see comun/nombres.h).
QStringList listarFotogramas(const QString& carpeta, const QString& extension);

// The name without its extension read as a decimal integer, if it reads as one.
std::optional<int> numeroDeFotograma(const QString& nombre);

// Replaces "progreso.txt" in `carpeta` atomically with "i/n" (the name itself, never
// the target of a link of that name); failures are ignored because progress is only a
// courtesy to the player.
void escribirProgreso(const QString& carpeta, int i, int n);

#pragma once
#include <QString>

struct TextosAlerta {
    QString titulo;
    QString mensaje;
};

// "Nueva versión …": the offer to install a release, with its notes when the JSON
// document carries them.
TextosAlerta textosNueva(const QString& version, const QString& rutaJSON);
[[noreturn]] void modoNueva(const QString& version, const QString& rutaJSON);

#pragma once
#include "estilo/fondo.h"

#include <QString>

// The turquoise band at the top of a window: 56 high with a title, 70 with a subtitle.
// The caller gives it its width and position.
Fondo* cabecera(const QString& titulo, const QString& subtitulo = QString());

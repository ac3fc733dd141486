#pragma once
// The program's palette. Every window takes its colours from here so that the settings
// window, the cameras window and the burst gallery read as one product.
#include <QColor>

namespace Color {
inline const QColor turquesa{59, 156, 176};
inline const QColor turquesaOscuro{40, 130, 152};
inline const QColor tinta{16, 42, 60};
inline const QColor gris{110, 110, 110};
inline const QColor lateral{0, 69, 115};
inline const QColor lateralSel{59, 156, 176};
inline const QColor lateralTexto{150, 200, 216};
inline const QColor fondo{245, 247, 245};
inline const QColor subtitulo{205, 234, 242};
inline const QColor rojo{178, 34, 34};
} // namespace Color

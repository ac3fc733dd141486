#pragma once
// Reading one frame the player exported, for both analysis modes.
#include <QImage>
#include <QString>

// Frames may be as big as video gets: Qt's default 128 MB decoding limit would refuse a
// DCI 8K frame (8192 × 4320 in 32-bit colour is 135 MB). 16K × 16K in 32-bit colour is
// 1 GiB: room for any real frame, and still a bound on a hostile file.
inline constexpr int kLimiteFotogramaMB = 1024;

// The decoded frame (EXIF orientation ignored: the player exported the pixels as they
// are), or a null image when it cannot be decoded. The path may hold names that are not
// UTF-8 (see comun/nombres.h).
QImage leerFotograma(const QString& ruta);

#pragma once
#include <QStringList>

// Mode "seguir": follows a marked zone through a folder of PNG frames and prints one
// line per frame ("número x y ancho alto puntuación"), or "perdida N" when it loses it.
[[noreturn]] void seguirZona(const QStringList& args);

// Sizes that depend only on the marked zone: reduction factor, template size in
// reduced pixels and search radius. The larger side becomes at most 32 reduced pixels.
struct GeometriaZona {
    int f, tw, th, r;
};
GeometriaZona geometriaZona(int ancho, int alto);

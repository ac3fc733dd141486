#pragma once
// Frame layout with resizing rules: each view gets a frame in points inside its container
// and a rule for what it does when the container grows or shrinks from its design size.
#include <QSize>

class QWidget;

namespace Ajuste {
enum : unsigned {
    fijo = 0,
    ancho = 1,    // follows the container's width
    alto = 2,     // follows its height
    abajo = 4,    // keeps its distance to the bottom edge
    derecha = 8,  // keeps its distance to the right edge
};
}

// The size a container's frames were drawn for; by default the size it has when the first
// view is placed in it.
void tamanoDiseno(QWidget* contenedor, QSize diseno);

// Places `vista` at (x, y, ancho, alto) inside `en` and keeps it there by `ajuste` as
// `en` changes size.
void colocar(QWidget* vista, QWidget* en, int x, int y, int ancho, int alto, unsigned ajuste);

#pragma once
#include "estilo/color.h"

#include <QFont>
#include <QLabel>

// A plain wrapped text label in the system font; sizes are pixels (one point each).
QLabel* etiqueta(const QString& texto, int tam = 13, QFont::Weight peso = QFont::Normal,
                 const QColor& color = Color::tinta);

// Same font rule for any widget, so fields and buttons match the labels beside them.
QFont fuenteSistema(int tam, QFont::Weight peso = QFont::Normal);

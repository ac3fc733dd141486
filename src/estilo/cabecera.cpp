#include "estilo/cabecera.h"

#include "estilo/color.h"
#include "estilo/etiqueta.h"

#include <QVBoxLayout>

Fondo* cabecera(const QString& titulo, const QString& subtitulo)
{
    auto* banda = new Fondo(Color::turquesa);
    auto* capas = new QVBoxLayout(banda);
    capas->setContentsMargins(20, 12, 20, 0);
    capas->setSpacing(4);
    capas->addWidget(etiqueta(titulo, 18, QFont::DemiBold, Qt::white));
    if (!subtitulo.isEmpty())
        capas->addWidget(etiqueta(subtitulo, 12, QFont::Normal, Color::subtitulo));
    capas->addStretch(1);
    banda->setFixedHeight(subtitulo.isEmpty() ? 56 : 70);
    return banda;
}

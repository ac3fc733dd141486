#include "estilo/casilla.h"

#include "estilo/etiqueta.h"

Casilla::Casilla(const QString& titulo, bool marcada, std::function<void(bool)> cambiar,
                 QWidget* padre)
    : QCheckBox(titulo, padre)
    , alCambiar(std::move(cambiar))
{
    setFont(fuenteSistema(13));
    setChecked(marcada);
    // clicked, not toggled: only the user's own clicks (and keys) reach the closure.
    connect(this, &QCheckBox::clicked, this, &Casilla::cambio);
}

void Casilla::cambio(bool encendida)
{
    if (alCambiar)
        alCambiar(encendida);
}

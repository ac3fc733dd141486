#include "estilo/paso.h"

#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

Paso::Paso(double minimo, double maximo, double incremento, double valor,
           std::function<void()> cambiar, QWidget* padre)
    : QWidget(padre)
    , alCambiar(std::move(cambiar))
    , minimo_(minimo)
    , maximo_(maximo)
    , incremento_(incremento)
    , valor_(std::clamp(valor, minimo, maximo))
{
    auto* capas = new QVBoxLayout(this);
    capas->setContentsMargins(0, 0, 0, 0);
    capas->setSpacing(0);
    for (int sentido : {+1, -1}) {
        auto* b = new QToolButton;
        b->setArrowType(sentido > 0 ? Qt::UpArrow : Qt::DownArrow);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        connect(b, &QToolButton::clicked, this, [this, sentido] { mover(sentido); });
        capas->addWidget(b);
    }
    resize(19, 28);
}

void Paso::setValor(double v)
{
    valor_ = std::clamp(v, minimo_, maximo_);
}

void Paso::mover(int sentido)
{
    const double nuevo = std::clamp(valor_ + sentido * incremento_, minimo_, maximo_);
    if (nuevo == valor_)
        return;
    valor_ = nuevo;
    if (alCambiar)
        alCambiar();
}

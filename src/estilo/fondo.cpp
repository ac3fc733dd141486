#include "estilo/fondo.h"

#include <QPaintEvent>
#include <QPainter>

Fondo::Fondo(const QColor& color, QWidget* padre)
    : QWidget(padre)
    , color_(color)
{
}

void Fondo::setColor(const QColor& c)
{
    color_ = c;
    update();
}

void Fondo::paintEvent(QPaintEvent* e)
{
    QPainter p(this);
    p.fillRect(e->rect(), color_);
}

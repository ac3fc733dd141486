#include "dialogos/boton_lateral.h"

#include "estilo/color.h"
#include "estilo/etiqueta.h"

#include <QPainter>

BotonLateral::BotonLateral(const QString& titulo, int i, QWidget* padre)
    : QAbstractButton(padre)
    , indice(i)
{
    setText(titulo);
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
}

void BotonLateral::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), isChecked() ? Color::lateralSel : Color::lateral);
    p.setPen(Qt::white);
    p.setFont(fuenteSistema(13));
    p.drawText(rect().adjusted(18, 11, -18, -11), Qt::AlignLeft | Qt::AlignVCenter, text());
    // Keyboard users must see where they are: a thin white frame inside the entry.
    if (hasFocus()) {
        p.setPen(QPen(Qt::white, 1, Qt::DotLine));
        p.drawRect(rect().adjusted(4, 4, -5, -5));
    }
}

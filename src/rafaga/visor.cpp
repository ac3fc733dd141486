#include "rafaga/visor.h"

#include <QKeyEvent>

Visor::Visor(QWidget* padre)
    : QWidget(padre)
{
    setFocusPolicy(Qt::StrongFocus);
}

void Visor::keyPressEvent(QKeyEvent* e)
{
    if (tecla && tecla(e)) {
        e->accept();
        return;
    }
    QWidget::keyPressEvent(e);
}

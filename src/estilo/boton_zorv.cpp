#include "estilo/boton_zorv.h"

#include "estilo/color.h"
#include "estilo/etiqueta.h"

#include <QShortcut>

BotonZORV::BotonZORV(const QString& titulo, bool principal, std::function<void()> a,
                     QWidget* padre)
    : QPushButton(titulo, padre)
    , accion(std::move(a))
{
    setFont(fuenteSistema(13));
    setAutoDefault(false);
    setMinimumHeight(30);
    if (principal) {
        QPalette p = palette();
        p.setColor(QPalette::Button, Color::turquesa);
        p.setColor(QPalette::ButtonText, Qt::white);
        setPalette(p);
        teclaEquivalente(QKeySequence(Qt::Key_Return));
        teclaEquivalente(QKeySequence(Qt::Key_Enter));
    }
    connect(this, &QPushButton::clicked, this, &BotonZORV::pulsado);
}

void BotonZORV::teclaEquivalente(const QKeySequence& tecla)
{
    auto* atajo = new QShortcut(tecla, this);
    connect(atajo, &QShortcut::activated, this, [this] {
        if (isEnabled() && isVisible())
            animateClick();
    });
}

void BotonZORV::pulsado()
{
    if (accion)
        accion();
}

#include "estilo/boton_zorv.h"

#include "estilo/color.h"
#include "estilo/etiqueta.h"

#include <QPainter>
#include <QShortcut>

BotonZORV::BotonZORV(const QString& titulo, bool principal, std::function<void()> a,
                     QWidget* padre)
    : QPushButton(titulo, padre)
    , accion(std::move(a))
    , principal_(principal)
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

void BotonZORV::paintEvent(QPaintEvent* e)
{
    if (!principal_) {
        QPushButton::paintEvent(e);
        return;
    }
    // The style would shade the tint into a lighter gradient (about #68BDCF), and white
    // on that is hard to read: the bezel is painted in the palette's own turquoise, darker
    // while pressed, with the title in white.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor relleno = isDown() ? Color::turquesaOscuro : Color::turquesa;
    if (!isEnabled())
        relleno.setAlphaF(0.45);
    const QRectF marco = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(relleno);
    p.drawRoundedRect(marco, 5, 5);
    if (hasFocus()) {
        p.setPen(QPen(Qt::white, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(marco.adjusted(2.5, 2.5, -2.5, -2.5), 3, 3);
    }
    p.setPen(Qt::white);
    p.setFont(font());
    p.drawText(rect(), Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

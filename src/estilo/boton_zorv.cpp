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
        for (Qt::Key tecla : {Qt::Key_Return, Qt::Key_Enter})
            teclasReturn_ << atajo(QKeySequence(tecla), this, Qt::WindowShortcut);
    }
    connect(this, &QPushButton::clicked, this, &BotonZORV::pulsado);
}

QShortcut* BotonZORV::atajo(const QKeySequence& tecla, QWidget* donde, Qt::ShortcutContext contexto)
{
    auto* a = new QShortcut(tecla, donde);
    a->setContext(contexto);
    connect(a, &QShortcut::activated, this, [this] {
        if (isEnabled() && isVisible())
            animateClick();
    });
    return a;
}

void BotonZORV::teclaEquivalente(const QKeySequence& tecla) { atajo(tecla, this, Qt::WindowShortcut); }

void BotonZORV::returnEn(const QList<QWidget*>& zonas)
{
    for (const QPointer<QShortcut>& a : std::as_const(teclasReturn_))
        delete a.data();
    teclasReturn_.clear();
    for (QWidget* zona : zonas)
        for (Qt::Key tecla : {Qt::Key_Return, Qt::Key_Enter})
            teclasReturn_ << atajo(QKeySequence(tecla), zona, Qt::WidgetWithChildrenShortcut);
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
    // A disabled main button loses its tint altogether, like any platform button: a faded
    // turquoise still reads as "press me" at a glance.
    const QColor relleno = !isEnabled() ? QColor(222, 224, 224)
                           : isDown()   ? Color::turquesaOscuro
                                        : Color::turquesa;
    const QRectF marco = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(relleno);
    p.drawRoundedRect(marco, 5, 5);
    if (hasFocus()) {
        p.setPen(QPen(Qt::white, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(marco.adjusted(2.5, 2.5, -2.5, -2.5), 3, 3);
    }
    p.setPen(isEnabled() ? QColor(Qt::white) : Color::gris);
    p.setFont(font());
    p.drawText(rect(), Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

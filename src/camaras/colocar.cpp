#include "camaras/colocar.h"

#include <QEvent>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>

namespace {

// Watches one container and moves its views whenever it is resized.
class Reglas : public QObject {
public:
    Reglas(QWidget* contenedor, QSize diseno)
        : QObject(contenedor)
        , contenedor(contenedor)
        , diseno(diseno)
    {
        contenedor->installEventFilter(this);
    }

    void anadir(QWidget* vista, const QRect& marco, unsigned ajuste)
    {
        vistas << Vista{vista, marco, ajuste};
        aplicar(vistas.last());
    }

    QWidget* contenedor;
    QSize diseno;

protected:
    bool eventFilter(QObject* objeto, QEvent* e) override
    {
        if (objeto == contenedor && e->type() == QEvent::Resize)
            for (const Vista& v : vistas)
                aplicar(v);
        return false;
    }

private:
    struct Vista {
        QPointer<QWidget> vista;
        QRect marco;
        unsigned ajuste;
    };

    void aplicar(const Vista& v) const
    {
        if (!v.vista)
            return;
        const int dx = contenedor->width() - diseno.width();
        const int dy = contenedor->height() - diseno.height();
        QRect r = v.marco;
        if (v.ajuste & Ajuste::ancho)
            r.setWidth(std::max(0, r.width() + dx));
        else if (v.ajuste & Ajuste::derecha)
            r.moveLeft(r.x() + dx);
        if (v.ajuste & Ajuste::alto)
            r.setHeight(std::max(0, r.height() + dy));
        else if (v.ajuste & Ajuste::abajo)
            r.moveTop(r.y() + dy);
        v.vista->setGeometry(r);
    }

    QList<Vista> vistas;
};

Reglas* reglasDe(QWidget* contenedor)
{
    for (QObject* o : contenedor->children())
        if (auto* r = dynamic_cast<Reglas*>(o))
            return r;
    return nullptr;
}

} // namespace

void tamanoDiseno(QWidget* contenedor, QSize diseno)
{
    if (Reglas* r = reglasDe(contenedor))
        r->diseno = diseno;
    else
        new Reglas(contenedor, diseno);
}

void colocar(QWidget* vista, QWidget* en, int x, int y, int ancho, int alto, unsigned ajuste)
{
    Reglas* r = reglasDe(en);
    if (!r)
        r = new Reglas(en, en->size());
    vista->setParent(en);
    r->anadir(vista, QRect(x, y, ancho, alto), ajuste);
}

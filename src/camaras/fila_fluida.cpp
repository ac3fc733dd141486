#include "camaras/fila_fluida.h"

#include <QWidget>

FilaFluida::FilaFluida(QWidget* padre, int alto)
    : QLayout(padre)
    , altoLinea(alto)
{
    setContentsMargins(0, 0, 0, 0);
}

FilaFluida::~FilaFluida()
{
    for (const Pieza& p : piezas)
        delete p.item;
}

void FilaFluida::anadir(QWidget* grupo, int hueco, bool derecha, QWidget* antesDe)
{
    addChildWidget(grupo);
    qsizetype donde = piezas.size();
    for (qsizetype i = 0; i < piezas.size(); ++i)
        if (antesDe && piezas[i].item->widget() == antesDe)
            donde = i;
    piezas.insert(donde, Pieza{new QWidgetItem(grupo), hueco, derecha});
    invalidate();
}

void FilaFluida::addItem(QLayoutItem* item) { piezas << Pieza{item, 0, false}; }

QLayoutItem* FilaFluida::itemAt(int i) const { return i >= 0 && i < piezas.size() ? piezas[i].item : nullptr; }

QLayoutItem* FilaFluida::takeAt(int i)
{
    if (i < 0 || i >= piezas.size())
        return nullptr;
    return piezas.takeAt(i).item;
}

int FilaFluida::count() const { return int(piezas.size()); }

QSize FilaFluida::sizeHint() const
{
    int ancho = 0;
    for (const Pieza& p : piezas)
        if (!p.item->isEmpty())
            ancho += (ancho > 0 ? p.hueco : 0) + p.item->sizeHint().width();
    return {ancho, altoLinea};
}

QSize FilaFluida::minimumSize() const
{
    int ancho = 0;
    for (const Pieza& p : piezas)
        if (!p.item->isEmpty())
            ancho = std::max(ancho, p.item->sizeHint().width());
    return {ancho, altoLinea};
}

int FilaFluida::lineas(int ancho) const { return repartir(QRect(0, 0, ancho, 0), false); }

int FilaFluida::heightForWidth(int ancho) const { return lineas(ancho) * altoLinea; }

void FilaFluida::setGeometry(const QRect& r)
{
    QLayout::setGeometry(r);
    repartir(r, true);
}

int FilaFluida::repartir(const QRect& r, bool aplicar) const
{
    // Lines first: a group goes on to the next line when it no longer fits on this one.
    QList<QList<const Pieza*>> filas(1);
    int usado = 0;
    for (const Pieza& p : piezas) {
        if (p.item->isEmpty())
            continue;
        const int ancho = p.item->sizeHint().width();
        if (!filas.last().isEmpty() && usado + p.hueco + ancho > r.width()) {
            filas.append(QList<const Pieza*>());
            usado = 0;
        }
        usado += (filas.last().isEmpty() ? 0 : p.hueco) + ancho;
        filas.last() << &p;
    }
    if (!aplicar)
        return int(filas.size());
    for (qsizetype n = 0; n < filas.size(); ++n) {
        const QList<const Pieza*>& fila = filas[n];
        const int y = r.y() + int(n) * altoLinea;
        // The left groups from the left edge, those of the right against the right edge.
        int derecha = 0;
        bool primera = true;
        for (const Pieza* p : fila)
            if (p->derecha) {
                derecha += (primera ? 0 : p->hueco) + p->item->sizeHint().width();
                primera = false;
            }
        int x = r.x();
        int xd = r.right() + 1 - derecha;
        primera = true;
        for (qsizetype i = 0; i < fila.size(); ++i) {
            const Pieza* p = fila[i];
            const QSize tam = p->item->sizeHint();
            int& cursor = p->derecha ? xd : x;
            if (i > 0 && !(p->derecha && primera))
                cursor += p->hueco;
            if (p->derecha)
                primera = false;
            p->item->setGeometry(QRect(QPoint(cursor, y), tam));
            cursor += tam.width();
        }
    }
    return int(filas.size());
}

#include "camaras/etiqueta_corta.h"

#include "estilo/etiqueta.h"

#include <QPainter>
#include <QTextLayout>

EtiquetaCorta::EtiquetaCorta(const QString& texto, int tam, QFont::Weight peso, const QColor& color,
                             Qt::TextElideMode c, int n)
    : corte(c)
    , lineas(std::max(1, n))
{
    setFont(fuenteSistema(tam, peso));
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setText(texto);
}

void EtiquetaCorta::setText(const QString& texto)
{
    QLabel::setText(texto);
    setToolTip(texto);
    update();
}

QStringList EtiquetaCorta::lineasVisibles() const
{
    const QString t = text();
    const QFontMetrics fm(font());
    const int ancho = std::max(1, width());
    if (lineas == 1)
        return {fm.elidedText(QString(t).replace(QLatin1Char('\n'), QLatin1Char(' ')), corte, ancho)};
    QStringList salida;
    QTextLayout capa(t, font());
    QTextOption opcion;
    opcion.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    capa.setTextOption(opcion);
    capa.beginLayout();
    for (;;) {
        QTextLine linea = capa.createLine();
        if (!linea.isValid())
            break;
        linea.setLineWidth(ancho);
        if (salida.size() == lineas - 1) {
            // The last line allowed takes the rest of the text, cut to fit.
            salida << fm.elidedText(t.mid(linea.textStart()).replace(QLatin1Char('\n'), QLatin1Char(' ')),
                                    corte, ancho);
            break;
        }
        salida << t.mid(linea.textStart(), linea.textLength()).trimmed();
    }
    capa.endLayout();
    return salida;
}

void EtiquetaCorta::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm(font());
    const QStringList ls = lineasVisibles();
    // One line sits in the middle of its frame; several start at the top.
    int y = ls.size() == 1 ? (height() - fm.height()) / 2 : 0;
    for (const QString& l : ls) {
        p.drawText(QRect(0, y, width(), fm.height()), Qt::AlignLeft | Qt::AlignVCenter, l);
        y += fm.lineSpacing();
    }
}

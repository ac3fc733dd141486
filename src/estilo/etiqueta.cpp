#include "estilo/etiqueta.h"

#include <QGuiApplication>

QFont fuenteSistema(int tam, QFont::Weight peso)
{
    // The application's font, not a widget's: "fondo" draws with no widgets at all.
    QFont f = QGuiApplication::font();
    f.setPixelSize(tam);
    f.setWeight(peso);
    return f;
}

QLabel* etiqueta(const QString& texto, int tam, QFont::Weight peso, const QColor& color)
{
    auto* l = new QLabel(texto);
    l->setFont(fuenteSistema(tam, peso));
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, color);
    l->setPalette(p);
    l->setWordWrap(true);
    l->setTextFormat(Qt::PlainText);
    l->setTextInteractionFlags(Qt::NoTextInteraction);
    return l;
}

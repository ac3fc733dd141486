#pragma once
#include "estilo/color.h"

#include <QFont>
#include <QLabel>

// A label that keeps to its frame: the text is cut with "…" (at the end or in the
// middle) after `lineas` lines instead of wrapping out of sight. The full text stays the
// label's text (and tooltip), so dumps and tests see it whole.
class EtiquetaCorta : public QLabel {
    Q_OBJECT
public:
    EtiquetaCorta(const QString& texto, int tam, QFont::Weight peso = QFont::Normal,
                  const QColor& color = Color::tinta, Qt::TextElideMode corte = Qt::ElideRight,
                  int lineas = 1);

    void setText(const QString& texto);

    // The lines as drawn at the current width.
    QStringList lineasVisibles() const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    Qt::TextElideMode corte;
    int lineas;
};

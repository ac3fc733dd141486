#pragma once
// A row of groups of controls that goes on to another line when the width runs short,
// so that no control ever sits on another. A group (a label and its field, a button)
// never splits; groups flagged `derecha` gather at the right edge of their line. The
// height follows the width, so whatever lies below moves down as the row wraps.
#include <QLayout>
#include <QList>

class FilaFluida : public QLayout {
public:
    // Every line is `altoLinea` high; groups keep their own fixed size.
    FilaFluida(QWidget* padre, int altoLinea);
    ~FilaFluida() override;

    // Adds `grupo` (a widget of fixed size) `hueco` points after the group before it on
    // its line; before the group `antesDe` when one is given. A hidden group takes no room.
    void anadir(QWidget* grupo, int hueco, bool derecha = false, QWidget* antesDe = nullptr);

    // How many lines the row takes at `ancho`.
    int lineas(int ancho) const;

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int indice) const override;
    QLayoutItem* takeAt(int indice) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int ancho) const override;
    void setGeometry(const QRect& r) override;

private:
    struct Pieza {
        QLayoutItem* item;
        int hueco;
        bool derecha;
    };
    // Lays the groups out in `r` (only counts the lines when `aplicar` is false).
    int repartir(const QRect& r, bool aplicar) const;

    QList<Pieza> piezas;
    int altoLinea;
};

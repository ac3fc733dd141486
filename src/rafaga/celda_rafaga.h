#pragma once
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <functional>

class Rejilla;

// One capture of the burst: its number, thumbnail file, caption and mark. A cell is a
// light record that its grid paints (thumbnail, check box, caption), not a widget of its
// own: a day's burst has tens of thousands of cells, and a widget tree per cell would
// make the window slow to open and every scroll step cost as much as the whole burst.
class CeldaRafaga {
public:
    CeldaRafaga(int numero, const QString& ruta, const QString& texto);

    static constexpr int ancho = 236;
    static constexpr int alto = 178;
    static constexpr int radio = 10;
    // Within the cell: the thumbnail area (black behind the picture) and the check box
    // whose title is the caption.
    static constexpr QRect marcoImagen{3, 3, 230, 130};
    static constexpr QRect marcoCasilla{8, 142, 222, 22};

    enum class Carga { pendiente, cargada, ilegible };

    const int numero;
    const QString ruta;
    // The caption: the check box's title.
    const QString texto;

    // Run after the user changed this cell's mark.
    std::function<void()> alCambiar;
    // Run with `numero` when the cell is double-clicked.
    std::function<void(int)> alAbrir;

    bool marcada() const { return marcada_; }
    // From code: repaints, never runs `alCambiar`.
    void setMarcada(bool si);
    // Repaints the cell with its current mark.
    void pintar();
    // The mouse went down on the cell `clics` times in a row: the first click toggles
    // the mark (and reports it), a second one asks to open the capture.
    void pulsar(int clics);

    // Frame in the grid; set by `Rejilla::recolocar`.
    QRect marco() const { return QRect(origen_, QSize(ancho, alto)); }
    Carga carga() const { return carga_; }
    // The thumbnail as decoded for the cell, never the full picture; null until loaded,
    // when unreadable, or after the grid let it go to stay within its memory budget.
    const QImage& miniatura() const { return miniatura_; }

private:
    friend class Rejilla;

    Rejilla* rejilla_ = nullptr;
    QPoint origen_;
    bool marcada_ = false;
    Carga carga_ = Carga::pendiente;
    QImage miniatura_;
};

#pragma once
#include "rafaga/celda_rafaga.h"

#include <QFont>
#include <QWidget>
#include <memory>
#include <set>
#include <vector>

class CargadorMiniaturas;
class ReservaMiniaturas;

// The grid of captures: as many columns as fit, each cell painted here, thumbnails
// decoded in the background and kept within a memory budget (those nearest the view
// stay). It is the document of a scroll area and as tall as all its rows.
class Rejilla : public QWidget {
    Q_OBJECT
public:
    static constexpr int margen = 12;
    static constexpr int pasoX = CeldaRafaga::ancho + 12;
    static constexpr int pasoY = CeldaRafaga::alto + 12;

    explicit Rejilla(QWidget* padre = nullptr);
    ~Rejilla() override;

    // The cells in display order.
    const std::vector<std::unique_ptr<CeldaRafaga>>& celdas() const { return celdas_; }
    void anadir(std::unique_ptr<CeldaRafaga> celda);

    // Lays the cells out for a visible width and resizes the grid to hold them all.
    void recolocar(int ancho);
    int columnas() const { return columnas_; }

    CeldaRafaga* celdaEn(const QPoint& punto) const;
    // The index of the cell at `punto`, or -1.
    int indiceEn(const QPoint& punto) const;

    // The cell the keyboard is on (the last one clicked, too); outlined while the grid
    // has the keyboard, so a person who does not use the mouse sees where they are.
    int actual() const { return actual_; }
    void setActual(int indice);
    void setConFoco(bool si);
    bool conFoco() const { return conFoco_; }
    // The first cell of the first row in view.
    int primeraVisible() const;
    // Repaints one cell if it can be seen.
    void repintar(const CeldaRafaga& celda);

    // Bytes of decoded thumbnails the grid may hold at once.
    void setPresupuesto(qint64 bytes);
    qint64 bytesMiniaturas() const { return bytes_; }
    int miniaturasCargadas() const { return int(cargadas_.size()); }
    // True when every cell in view has its thumbnail or is known to have none.
    bool vistaCompleta() const;
    // True when every cell worth holding (in view and around it, as far as the budget
    // goes) has its thumbnail or is known to have none: the loading has caught up.
    bool ventanaCompleta() const;
    // The part of the grid the scroll area shows (all of it when it has no parent).
    QRect zonaVisible() const;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    struct Filas {
        int primera = 0;
        int ultima = -1;
    };
    Filas filasEn(const QRect& zona) const;
    void pintarCelda(QPainter& p, const CeldaRafaga& celda);
    QRect marcoActual() const;
    void planificar();
    void llegada(int indice, const QImage& imagen);
    void soltar(int indice);
    QSize cajaMiniatura() const;

    // Before the cells: their thumbnails live in it.
    std::shared_ptr<ReservaMiniaturas> reserva_;
    std::vector<std::unique_ptr<CeldaRafaga>> celdas_;
    std::unique_ptr<CargadorMiniaturas> cargador_;
    int columnas_ = 1;
    QFont fuente_;

    // Thumbnails held, by cell index; the cells of [ventanaIni, ventanaFin) are the
    // ones worth holding: those in view and the rows around them.
    std::set<int> cargadas_;
    qint64 bytes_ = 0;
    qint64 presupuesto_;
    int ventanaIni_ = 0;
    int ventanaFin_ = 0;
    Filas ultimaVista_;
    int actual_ = 0;
    bool conFoco_ = false;
    int ultimasColumnas_ = 0;
};

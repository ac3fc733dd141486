#pragma once
#include "estilo/boton_zorv.h"
#include "estilo/ventana_zorv.h"
#include "rafaga/rejilla.h"
#include "rafaga/visor.h"
#include "rafaga/vista_imagen.h"

#include <QLabel>
#include <QObject>
#include <QScrollArea>
#include <memory>

class QStackedLayout;

// The burst gallery: a grid of thumbnails to mark, and a viewer for one capture at a
// time over it. Marks live in the cells; `resultado` is 0 only after "Guardar elegidas".
class ControladorRafaga : public QObject {
    Q_OBJECT
public:
    ControladorRafaga(const QString& carpeta, double seg, double base);
    ~ControladorRafaga() override;

    void refrescar();
    void abrirVisor(int k);
    void saltar(int d);
    void marcarVisor();
    void cerrarVisor();
    CeldaRafaga* celda(int k) const;
    void marcarTodas(bool si);
    void descartarTodas();
    // The marked capture numbers in grid order, joined by ",".
    QString elegidas() const;

    std::unique_ptr<VentanaZORV> ventana;
    Rejilla* rejilla = nullptr;
    QScrollArea* scroll = nullptr;
    Visor* visor = nullptr;
    VistaImagen* visorImagen = nullptr;
    QLabel* visorTexto = nullptr;
    BotonZORV* bMarcarSeguir = nullptr;
    BotonZORV* bGuardar = nullptr;
    QLabel* lTitulo = nullptr;
    QLabel* lTeclas = nullptr;  // the grid's keys, while it has the keyboard
    int visorK = 0;
    int resultado = 1;
    const QString carpeta;

private:
    void construir(qsizetype n, double seg);
    QWidget* barraInferior();
    void construirVisor();
    bool tecla(QKeyEvent* e);
    // Keys of the grid: the arrows, PageUp/PageDown, Home/End move the current cell,
    // Space marks it, V opens it (Return stays "Guardar elegidas").
    bool teclaRejilla(QKeyEvent* e);
    void irA(int indice);
    int indiceDe(int k) const;
    QString rutaCompleta(int k) const;
    bool eventFilter(QObject* objeto, QEvent* e) override;

    QWidget* pagina_ = nullptr;
    QStackedLayout* pila_ = nullptr;
};

// The window's size: three quarters of the screen's usable area, at least 1000 × 660.
QSize tamanoVentanaRafaga();

#pragma once
#include "comun/ajustes.h"
#include "estilo/casilla.h"
#include "estilo/paso.h"
#include "estilo/ventana_zorv.h"
#include "estilo/volteada.h"

#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QRadioButton>
#include <functional>
#include <memory>

class BotonLateral;

// The settings window: side bar of four sections, turquoise band, the section, and a
// bottom bar with "Guardar" and "Cancelar". `resultado` is the exit status to report.
class ControladorAjustes : public QObject {
    Q_OBJECT
public:
    ControladorAjustes(Ajustes& conf, const QString& version);

    void mostrar(int i);
    void guardar();
    void buscarAhora();
    void radio(QRadioButton* pulsado);
    void cambioCalidad();
    void cambioSegundos();

    Ajustes& conf;
    const QString version;
    std::unique_ptr<VentanaZORV> ventana;
    int resultado = 1;
    bool buscar = false;
    Volteada* contenido = nullptr;
    struct Seccion {
        QString titulo;
        Volteada* vista;
        BotonLateral* boton;
    };
    QList<Seccion> secciones;
    QLabel* tituloSeccion = nullptr;
    QString defCapturas;

    QLineEdit* tCarpeta = nullptr;
    QRadioButton* rJPG = nullptr;
    QRadioButton* rPNG = nullptr;
    Paso* calidad = nullptr;
    QLineEdit* tCalidad = nullptr;
    Casilla* cMeta = nullptr;
    Casilla* cHora = nullptr;
    Casilla* cCaso = nullptr;
    Casilla* cRafAuto = nullptr;
    Paso* segundos = nullptr;
    QLineEdit* tSegundos = nullptr;
    QRadioButton* rManual = nullptr;
    QRadioButton* rAuto = nullptr;

    // Shown when the file cannot be written; tests replace it to stay headless.
    std::function<void()> alFallar;

private:
    void construir();
    void construirLateral(QWidget* lateral);
    void construirBarraInferior(QWidget* barra);
    void seccion(const QString& titulo, Volteada* vista);
    Volteada* seccionCapturas();
    Volteada* seccionRafaga();
    Volteada* seccionActualizaciones();
    Volteada* seccionAcercaDe();
    void elegirCarpeta();
    void abrirCarpeta();
    QRadioButton* radioNuevo(const QString& titulo, bool encendido);

    void ordenarTeclado();

    QWidget* lateral_ = nullptr;
    QWidget* bGuardar_ = nullptr;
    QWidget* bCancelar_ = nullptr;
};

// Places a view at (x, y) in `en` at its fitted size; with `ancho`, forces the width
// and lets wrapped labels take the height their text needs.
void poner(QWidget* vista, QWidget* en, int x, int y, int ancho = -1);

// The default captures folder: the desktop folder + "/ZorvPlayer".
QString carpetaCapturasPorDefecto();

// Settings mode: window, modal loop, exit with the controller's result.
[[noreturn]] void ventanaConfiguracion(const QString& ruta, const QString& version);

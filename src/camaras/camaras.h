#pragma once
// The "Cámaras y dispositivos" window: sources on the left (drives and folders, devices
// on the local network), the chosen source and its recordings on the right, the
// destination and progress at the bottom. Every slow step runs on the window's own
// background queue and posts its results back to the main thread; one job at a time
// (`ocupado`), with the network sweep beside it.
#include "camaras/etiqueta_corta.h"
#include "camaras/nodo.h"
#include "camaras/operaciones.h"
#include "estilo/boton_zorv.h"
#include "estilo/casilla.h"
#include "estilo/ventana_zorv.h"
#include "estilo/volteada.h"

#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QProgressBar>
#include <QStringList>
#include <QTableView>
#include <QThreadPool>
#include <QTreeView>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <condition_variable>
#include <optional>
#include <stop_token>

class FilaFluida;
class ModeloArbol;
class ModeloLista;

class Camaras : public QObject {
    Q_OBJECT
public:
    Camaras(QString base, QString caso, QString ffmpeg, Operaciones operaciones);
    ~Camaras() override;

    const QString base;
    const QString caso;
    const QString ffmpeg;
    QString destino;
    QStringList descargados;
    QList<FicheroPtr> ficheros;
    OrigenPtr actual;
    bool ocupado = false;
    std::unique_ptr<VentanaZORV> ventana;
    NodoPtr nUSB;
    NodoPtr nRED;
    QTreeView* arbol = nullptr;
    QTableView* lista = nullptr;
    QLabel* lTit = nullptr;
    EtiquetaCorta* lDet = nullptr;
    EtiquetaCorta* lCuenta = nullptr;
    EtiquetaCorta* lEstado = nullptr;
    EtiquetaCorta* lDest = nullptr;
    EtiquetaCorta* lProg = nullptr;
    QProgressBar* barra = nullptr;
    Volteada* pCred = nullptr;
    FilaFluida* credenciales = nullptr;  // pCred's groups; one more fits without rework
    Volteada* pRtsp = nullptr;
    QLineEdit* tU = nullptr;
    QLineEdit* tP = nullptr;
    QLineEdit* tPVer = nullptr;
    Casilla* cVer = nullptr;
    QComboBox* cPer = nullptr;
    // The camera inputs of a recorder, once a listing has found more than one: "Todos los
    // canales", then "N · nombre". It narrows the list and picks the live stream.
    Volteada* pCanal = nullptr;
    QComboBox* cCanal = nullptr;
    QLineEdit* nSeg = nullptr;
    BotonZORV* bBuscar = nullptr;
    BotonZORV* bCarpeta = nullptr;
    BotonZORV* bIP = nullptr;
    BotonZORV* bListar = nullptr;
    BotonZORV* bGrabar = nullptr;
    BotonZORV* bTodos = nullptr;
    BotonZORV* bDesc = nullptr;
    BotonZORV* bReintentar = nullptr;  // shown while rows whose download failed are listed
    BotonZORV* bFin = nullptr;

    // The two questions the window asks and the end of the run; tests replace them.
    std::function<std::optional<QString>()> pedirCarpeta;    // a folder, or nothing
    std::function<std::optional<QString>()> pedirDireccion;  // typed text, or nothing
    std::function<void(int estado, const QString& salida)> terminar;
    // A window of local time for "Elegir fechas…", starting from `propuesta`; nothing when
    // the user cancels.
    std::function<std::optional<std::pair<QDateTime, QDateTime>>(const std::pair<QDateTime, QDateTime>& propuesta)>
        pedirFechas;
    // Requests in flight to one device while it is listed (recorders have weak processors).
    int simultaneas = 2;

    // Layout and source tree.
    void montar();
    void mostrarOrigen(const OrigenPtr& origen);
    void escanearOrigen(const OrigenPtr& origen);
    void cargar(Nodo& fila);
    QString clave() const;
    void dobleArbol(const QModelIndex& indice);
    void seleccionCambiada();
    void marcarTodos();
    void alCerrarVentana();
    // The window's files put in order before the run ends (closed, or its display gone):
    // the live recording stopped and kept, the file being downloaded removed, the case's
    // report rewritten when files arrived.
    void recogerAntesDeSalir(bool avisar = false);

    // Status operations every flow uses.
    void bloquear(bool b);
    void cuenta();
    void mostrarReintentar();
    void estado(const QString& texto);
    void progreso(int porcentaje, const std::optional<QString>& texto = std::nullopt);
    void progresoFin();
    void fondo(std::function<void()> trabajo);
    void enVentana(std::function<void()> trabajo);
    void pintarLista(const QList<FicheroPtr>& lista);
    // The same for a list already in that order (sorted off the main thread: ordering
    // 20000 local dates takes longer than the window may stall).
    void pintarListaOrdenada(const QList<FicheroPtr>& lista);

    // Channels and period.
    int canalElegido() const;
    // What "Listar" asks for: the period of the menu (or the dates chosen) and the channel.
    Consulta consultaElegida() const;
    void elegirPeriodo(int indice);
    // The list narrowed to the chosen channel, from everything the last listing found.
    void mostrarCanal();

    // Flows behind the buttons.
    void buscarTodo();
    void abrirCarpeta();
    void anadirIP();
    void listarRed();
    void descargar();
    // The rows whose download failed, and only those, downloaded again.
    void reintentarFallidos();
    void grabarDirecto();
    // What a row says while its download waits to be tried again: "reintento 2 de 3…".
    static QString textoReintento(int n, int de);

    // The tree's rows as the view has them, for the flows and the tests.
    ModeloArbol* modeloArbol() const { return arbolModelo; }
    ModeloLista* modeloLista() const { return listaModelo; }
    void recargarArbol(const std::function<void()>& cambio = {});
    void recargarLista(bool nueva = false);
    void expandir(const NodoPtr& fila);
    bool expandida(const NodoPtr& fila) const;
    void seleccionar(const NodoPtr& fila);
    // Whether the network sweep is running (it keeps "Buscar de nuevo" disabled).
    bool barriendo() const { return barrido; }
    // Waits until every background job has ended (tests, closing).
    void esperarFondo();

private:
    void montarLateral(QWidget* panel);
    void montarDerecha(QWidget* panel);
    void montarBarra(QWidget* barra);
    void montarCredenciales();
    void montarLista();
    void montarDirecto();
    void montarCanal(FilaFluida* fila, QWidget* periodo);
    // The channel menu of `origen`; `conservar` keeps the channel chosen when it still exists.
    void rellenarCanales(const OrigenPtr& origen, bool conservar = false);
    void verClave(bool ver);
    QString modeloDe(const OrigenPtr& origen) const;
    // A listing's identification, shown while its families are tried.
    void mostrarIdentificacion(const OrigenPtr& origen, const QString& identificada, const QString& modelo);
    // Sends a percentage to the main thread only when it changed, so a routine that
    // reports thousands of times a second does not flood the event loop.
    Progreso avisoProgreso(std::function<void(int)> enPrincipal);

    // The temporary file a job is writing right now: closing the window ends the process
    // at once, and must not leave it behind.
    void temporalEnCurso(const QString& ruta);

    // Closing the window mid-recording stops the live recording and waits until its file
    // is finished and in place: footage of a live stream cannot be fetched again.
    // `avisar`: say so in the window while waiting.
    void detenerDirecto(bool avisar);

    Operaciones ops;
    std::mutex mTemporal;
    QString temporal;
    std::mutex mDirecto;
    std::condition_variable finDirecto;
    bool grabando = false;  // ffmpeg runs, or its file is being put in place
    std::stop_source paradaDirecto;
    ModeloArbol* arbolModelo = nullptr;
    ModeloLista* listaModelo = nullptr;
    QThreadPool cola;
    bool barrido = false;
    bool restaurando = false;
    std::map<OrigenPtr, QString> modelos;  // model text from the identifications
    // What the count line adds while a listing that stopped early is shown.
    QString notaListado;
    // Everything the last listing of the source on show found, and the channel it was
    // asked for (0: all); the list shows the chosen channel's part.
    QList<FicheroPtr> hallados;
    int canalListado = 0;
    std::optional<std::pair<QDateTime, QDateTime>> fechasElegidas;
    int periodoPrevio = 1;
};

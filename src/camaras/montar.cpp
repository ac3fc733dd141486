// The window's layout: frames in points from the top-left of each container, with the
// rule each view follows when the window is resized.
#include "camaras/camaras.h"
#include "camaras/colocar.h"
#include "camaras/modelo_arbol.h"
#include "camaras/modelo_lista.h"
#include "estilo/cabecera.h"
#include "estilo/color.h"
#include "estilo/etiqueta.h"
#include "estilo/fondo.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

using namespace Ajuste;

namespace {

// Rows of a fixed height, and no dotted focus frame on the dark side bar.
class DelegadoFilas : public QStyledItemDelegate {
public:
    DelegadoFilas(int alto, QObject* padre)
        : QStyledItemDelegate(padre)
        , alto(alto)
    {
    }

    QSize sizeHint(const QStyleOptionViewItem& o, const QModelIndex& i) const override
    {
        return {QStyledItemDelegate::sizeHint(o, i).width(), alto};
    }

    void paint(QPainter* p, const QStyleOptionViewItem& o, const QModelIndex& i) const override
    {
        QStyleOptionViewItem sin = o;
        sin.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(p, sin, i);
    }

private:
    int alto;
};

void pintarFondo(QWidget* w, const QColor& color)
{
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, color);
    w->setPalette(p);
}

QLabel* rotulo(const QString& texto, int tam = 13)
{
    QLabel* l = etiqueta(texto, tam);
    l->setWordWrap(false);
    return l;
}

QLineEdit* campo(const QString& texto)
{
    auto* t = new QLineEdit(texto);
    t->setFont(fuenteSistema(13));
    return t;
}

} // namespace

void Camaras::montar()
{
    VentanaZORV* v = ventana.get();
    v->setMinimumSize(900, 560);
    tamanoDiseno(v, QSize(1080, 680));
    auto* contenido = new Volteada;
    pintarFondo(contenido, Color::fondo);
    colocar(contenido, v, 0, 0, 1080, 680, ancho | alto);
    tamanoDiseno(contenido, QSize(1080, 680));

    Fondo* banda = cabecera(QStringLiteral("Cámaras y dispositivos"),
                            QStringLiteral("Elige un origen a la izquierda, lista sus vídeos, marca los que quieras y descárgalos al caso."));
    banda->setMinimumHeight(0);
    banda->setMaximumHeight(QWIDGETSIZE_MAX);
    colocar(banda, contenido, 0, 0, 1080, 70, ancho);

    auto* lateral = new Fondo(Color::lateral);
    colocar(lateral, contenido, 0, 70, 300, 610, alto);
    tamanoDiseno(lateral, QSize(300, 610));
    auto* pLateral = new Volteada;
    colocar(pLateral, lateral, 0, 0, 300, 610, alto);
    tamanoDiseno(pLateral, QSize(300, 610));
    montarLateral(pLateral);

    auto* derecha = new Volteada;
    colocar(derecha, contenido, 300, 70, 780, 552, ancho | alto);
    tamanoDiseno(derecha, QSize(780, 552));
    montarDerecha(derecha);

    auto* abajo_ = new Fondo(Color::fondo);
    colocar(abajo_, contenido, 300, 622, 780, 58, ancho | abajo);
    tamanoDiseno(abajo_, QSize(780, 58));
    auto* pBarra = new Volteada;
    colocar(pBarra, abajo_, 0, 0, 780, 58, ancho);
    tamanoDiseno(pBarra, QSize(780, 58));
    montarBarra(pBarra);

    // Qt sends the pending resize when the window is first shown; frames must also be
    // right if the window was given another size before that.
    contenido->resize(v->size());
}

void Camaras::montarLateral(QWidget* panel)
{
    auto* titulo = etiqueta(QStringLiteral("ORÍGENES"), 11, QFont::DemiBold, Color::lateralTexto);
    colocar(titulo, panel, 18, 14, 200, 16, fijo);

    arbolModelo = new ModeloArbol({nUSB, nRED}, [this](Nodo& n) { cargar(n); }, this);
    arbol = new QTreeView;
    arbol->setModel(arbolModelo);
    arbol->setHeaderHidden(true);
    arbol->setIndentation(14);
    arbol->setUniformRowHeights(true);
    arbol->setItemDelegate(new DelegadoFilas(24, arbol));
    arbol->setExpandsOnDoubleClick(false);
    arbol->setSelectionMode(QAbstractItemView::SingleSelection);
    arbol->setTextElideMode(Qt::ElideRight);
    arbol->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    arbol->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    arbol->setFrameShape(QFrame::NoFrame);
    arbol->header()->setStretchLastSection(true);
    QPalette p = arbol->palette();
    p.setColor(QPalette::Base, QColor(0, 86, 140));
    p.setColor(QPalette::Text, Qt::white);
    p.setColor(QPalette::WindowText, Color::lateralTexto);  // the disclosure arrows
    p.setColor(QPalette::ButtonText, Color::lateralTexto);
    p.setColor(QPalette::Highlight, Color::lateralSel);
    p.setColor(QPalette::HighlightedText, Qt::white);
    arbol->setPalette(p);
    colocar(arbol, panel, 12, 40, 276, 452, alto);
    connect(arbol, &QTreeView::doubleClicked, this, &Camaras::dobleArbol);
    connect(arbol->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { seleccionCambiada(); });

    bBuscar = new BotonZORV(QStringLiteral("Buscar de nuevo"), false, [this] { buscarTodo(); });
    colocar(bBuscar, panel, 12, 500, 276, 32, abajo);
    bCarpeta = new BotonZORV(QStringLiteral("Abrir carpeta…"), false, [this] { abrirCarpeta(); });
    colocar(bCarpeta, panel, 12, 538, 134, 32, abajo);
    bIP = new BotonZORV(QStringLiteral("Añadir por IP…"), false, [this] { anadirIP(); });
    colocar(bIP, panel, 154, 538, 134, 32, abajo);
    lEstado = new EtiquetaCorta(QString(), 11, QFont::Normal, Color::lateralTexto);
    colocar(lEstado, panel, 14, 580, 274, 18, abajo);
}

void Camaras::montarDerecha(QWidget* panel)
{
    lTit = etiqueta(QStringLiteral("Elige un origen"), 16, QFont::DemiBold);
    lTit->setWordWrap(false);
    colocar(lTit, panel, 22, 12, 736, 22, ancho);
    lDet = new EtiquetaCorta(QString(), 12, QFont::Normal, Color::gris);
    colocar(lDet, panel, 22, 40, 736, 18, ancho);

    pCred = new Volteada;
    colocar(pCred, panel, 22, 64, 736, 36, ancho);
    tamanoDiseno(pCred, QSize(736, 36));
    montarCredenciales();
    pCred->hide();

    pRtsp = new Volteada;
    colocar(pRtsp, panel, 22, 104, 736, 34, ancho);
    tamanoDiseno(pRtsp, QSize(736, 34));
    montarDirecto();
    pRtsp->hide();
    montarCanal();

    listaModelo = new ModeloLista(ficheros, ocupado, [this] { cuenta(); }, this);
    lista = new QTableView;
    lista->setModel(listaModelo);
    lista->setFont(fuenteSistema(12));
    lista->verticalHeader()->hide();
    lista->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lista->verticalHeader()->setDefaultSectionSize(22);
    lista->verticalHeader()->setMinimumSectionSize(22);
    QHeaderView* columnas = lista->horizontalHeader();
    columnas->setStretchLastSection(true);
    columnas->setHighlightSections(false);
    columnas->setSectionResizeMode(ModeloLista::x, QHeaderView::Fixed);
    const int anchos[] = {26, 240, 110, 140, 80, 140};
    for (int c = 0; c < ModeloLista::columnas; ++c)
        lista->setColumnWidth(c, anchos[c]);
    lista->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lista->setSelectionBehavior(QAbstractItemView::SelectRows);
    lista->setTextElideMode(Qt::ElideMiddle);
    lista->setWordWrap(false);
    lista->setAlternatingRowColors(false);
    lista->setShowGrid(false);
    lista->setFrameShape(QFrame::NoFrame);
    lista->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lista->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QPalette p = lista->palette();
    p.setColor(QPalette::Base, Color::fondo);
    lista->setPalette(p);
    colocar(lista, panel, 22, 146, 736, 360, ancho | alto);

    lCuenta = new EtiquetaCorta(QString(), 12, QFont::Normal, Color::gris, Qt::ElideRight, 2);
    colocar(lCuenta, panel, 22, 512, 590, 34, ancho | abajo);
    bTodos = new BotonZORV(QStringLiteral("Marcar todos"), false, [this] { marcarTodos(); });
    colocar(bTodos, panel, 630, 512, 128, 32, derecha | abajo);
}

void Camaras::montarCredenciales()
{
    colocar(rotulo(QStringLiteral("Usuario")), pCred, 0, 9, 56, 18, fijo);
    tU = campo(QStringLiteral("admin"));
    colocar(tU, pCred, 60, 6, 110, 24, fijo);
    colocar(rotulo(QStringLiteral("Contraseña")), pCred, 182, 9, 76, 18, fijo);
    tP = campo(QString());
    tP->setEchoMode(QLineEdit::Password);
    colocar(tP, pCred, 262, 6, 130, 24, fijo);
    tPVer = campo(QString());
    colocar(tPVer, pCred, 262, 6, 130, 24, fijo);
    tPVer->hide();
    cVer = new Casilla(QStringLiteral("ver"), false, [this](bool si) { verClave(si); });
    colocar(cVer, pCred, 398, 8, 48, 20, fijo);
    colocar(rotulo(QStringLiteral("Periodo")), pCred, 452, 9, 56, 18, derecha);
    cPer = new QComboBox;
    cPer->setFont(fuenteSistema(13));
    cPer->addItems({QStringLiteral("24 horas"), QStringLiteral("7 días"), QStringLiteral("30 días"),
                    QStringLiteral("todo")});
    cPer->setCurrentIndex(1);
    // Any window of time, from a small dialog; the item of the dates chosen goes before it.
    cPer->addItem(QStringLiteral("Elegir fechas…"));
    cPer->view()->setMinimumWidth(150);
    connect(cPer, &QComboBox::activated, this, &Camaras::elegirPeriodo);
    colocar(cPer, pCred, 510, 4, 108, 26, derecha);
    bListar = new BotonZORV(QStringLiteral("Listar"), true, [this] { listarRed(); });
    colocar(bListar, pCred, 628, 2, 108, 32, derecha);
}

void Camaras::montarDirecto()
{
    colocar(rotulo(QStringLiteral("Directo RTSP: grabar")), pRtsp, 0, 8, 146, 18, fijo);
    nSeg = campo(QStringLiteral("60"));
    colocar(nSeg, pRtsp, 150, 4, 64, 24, fijo);
    colocar(rotulo(QStringLiteral("segundos")), pRtsp, 220, 8, 70, 18, fijo);
    bGrabar = new BotonZORV(QStringLiteral("Grabar el directo"), false, [this] { grabarDirecto(); });
    colocar(bGrabar, pRtsp, 300, 0, 160, 32, fijo);
}

void Camaras::montarCanal()
{
    // Beside the live row, whose stream it also chooses; shown once a listing found the
    // device's channels.
    pCanal = new Volteada;
    colocar(pCanal, pRtsp->parentWidget(), 498, 104, 260, 34, derecha);
    tamanoDiseno(pCanal, QSize(260, 34));
    colocar(rotulo(QStringLiteral("Canal")), pCanal, 0, 8, 44, 18, fijo);
    cCanal = new QComboBox;
    cCanal->setFont(fuenteSistema(13));
    cCanal->addItem(QStringLiteral("Todos los canales"), 0);
    cCanal->view()->setMinimumWidth(260);
    colocar(cCanal, pCanal, 48, 4, 212, 26, fijo);
    connect(cCanal, &QComboBox::activated, this, [this] { mostrarCanal(); });
    pCanal->hide();
}

void Camaras::montarBarra(QWidget* panel)
{
    lDest = new EtiquetaCorta(QStringLiteral("Se guardan en: ") + destino, 11, QFont::Normal, Color::gris,
                              Qt::ElideMiddle);
    colocar(lDest, panel, 22, 8, 440, 16, ancho);
    lProg = new EtiquetaCorta(QString(), 11, QFont::Normal, Color::tinta);
    colocar(lProg, panel, 22, 8, 440, 16, ancho);
    lProg->hide();
    barra = new QProgressBar;
    barra->setOrientation(Qt::Horizontal);
    barra->setRange(0, 100);
    barra->setTextVisible(false);
    colocar(barra, panel, 22, 30, 440, 14, ancho);
    barra->hide();
    bDesc = new BotonZORV(QStringLiteral("Descargar marcados (0)"), true, [this] { descargar(); });
    bDesc->setEnabled(false);
    colocar(bDesc, panel, 476, 12, 200, 32, derecha);
    bFin = new BotonZORV(QStringLiteral("Cerrar"), false, [this] { ventana->close(); });
    // The desktop's own key for closing a window; the window manager's Alt+F4 may be
    // missing or taken.
    bFin->teclaEquivalente(QKeySequence(Qt::CTRL | Qt::Key_W));
    colocar(bFin, panel, 686, 12, 76, 32, derecha);
}

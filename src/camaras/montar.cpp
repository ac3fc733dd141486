// The window's layout: frames in points from the top-left of each container, with the
// rule each view follows when the window is resized. The right side is a column that
// keeps those frames at the standard size and lets the credentials row take a second
// line when the window is narrower.
#include "camaras/camaras.h"
#include "camaras/colocar.h"
#include "camaras/fila_fluida.h"
#include "camaras/modelo_arbol.h"
#include "camaras/modelo_lista.h"
#include "estilo/cabecera.h"
#include "estilo/color.h"
#include "estilo/etiqueta.h"
#include "estilo/fondo.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QBoxLayout>
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

// One group of the credentials row: its controls at fixed places inside it.
QWidget* grupo(int ancho)
{
    auto* g = new Volteada;
    g->setFixedSize(ancho, 36);
    return g;
}

void guardarSitio(QWidget* w)
{
    QSizePolicy p = w->sizePolicy();
    p.setRetainSizeWhenHidden(true);
    w->setSizePolicy(p);
}

// The tick of a recording that cannot be ticked (done, failed, or a job running) is
// drawn faded, as a disabled check box is everywhere else; the item view would draw it
// like any other.
class DelegadoCasillas : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* p, const QStyleOptionViewItem& o, const QModelIndex& i) const override
    {
        if (i.flags() & Qt::ItemIsEnabled) {
            QStyledItemDelegate::paint(p, o, i);
            return;
        }
        QStyleOptionViewItem opcion = o;
        initStyleOption(&opcion, i);
        const QStyle* estilo = opcion.widget ? opcion.widget->style() : QApplication::style();
        QStyleOptionViewItem sinCasilla = opcion;
        sinCasilla.features &= ~QStyleOptionViewItem::HasCheckIndicator;
        estilo->drawControl(QStyle::CE_ItemViewItem, &sinCasilla, p, opcion.widget);
        QStyleOptionViewItem casilla = opcion;
        casilla.rect = estilo->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opcion, opcion.widget);
        casilla.state &= ~(QStyle::State_HasFocus | QStyle::State_Enabled | QStyle::State_MouseOver);
        casilla.state |= opcion.checkState == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
        casilla.palette.setCurrentColorGroup(QPalette::Disabled);
        p->save();
        p->setOpacity(0.4);
        estilo->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &casilla, p, opcion.widget);
        p->restore();
    }
};

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
    // One column, so that the credentials row can take a second line when the window is
    // narrow and push what is below down instead of running over it. At the standard
    // size the frames are those of the design: (22, 12) title, (22, 40) detail, (22, 64)
    // credentials, (22, 104) live recording, (22, 146) list, (22, 512) count line.
    auto* columna = new QVBoxLayout(panel);
    columna->setContentsMargins(22, 12, 22, 6);
    columna->setSpacing(0);
    lTit = etiqueta(QStringLiteral("Elige un origen"), 16, QFont::DemiBold);
    lTit->setWordWrap(false);
    lTit->setFixedHeight(22);
    lTit->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    columna->addWidget(lTit);
    columna->addSpacing(6);
    lDet = new EtiquetaCorta(QString(), 12, QFont::Normal, Color::gris);
    lDet->setFixedHeight(18);
    // Long texts are cut to the width they get; they never widen the column.
    lDet->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    columna->addWidget(lDet);
    columna->addSpacing(6);

    // Hidden rows keep their room: the list does not jump as sources of different kinds
    // are chosen.
    pCred = new Volteada;
    montarCredenciales();
    guardarSitio(pCred);
    columna->addWidget(pCred);
    pCred->hide();
    columna->addSpacing(4);
    pRtsp = new Volteada;
    pRtsp->setFixedHeight(34);
    montarDirecto();
    guardarSitio(pRtsp);
    columna->addWidget(pRtsp);
    pRtsp->hide();
    columna->addSpacing(8);

    montarLista();
    columna->addWidget(lista, 1);
    columna->addSpacing(6);

    auto* pie = new QHBoxLayout;
    pie->setSpacing(18);
    lCuenta = new EtiquetaCorta(QString(), 12, QFont::Normal, Color::gris, Qt::ElideRight, 2);
    lCuenta->setFixedHeight(34);
    lCuenta->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    pie->addWidget(lCuenta, 1);
    bTodos = new BotonZORV(QStringLiteral("Marcar todos"), false, [this] { marcarTodos(); });
    bTodos->setFixedSize(128, 32);
    pie->addWidget(bTodos, 0, Qt::AlignTop);
    columna->addLayout(pie);
}

void Camaras::montarLista()
{
    listaModelo = new ModeloLista(ficheros, ocupado, [this] { cuenta(); }, this);
    lista = new QTableView;
    lista->setModel(listaModelo);
    lista->setItemDelegateForColumn(ModeloLista::x, new DelegadoCasillas(lista));
    lista->setFont(fuenteSistema(12));
    lista->verticalHeader()->hide();
    lista->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lista->verticalHeader()->setDefaultSectionSize(22);
    lista->verticalHeader()->setMinimumSectionSize(22);
    QHeaderView* columnas = lista->horizontalHeader();
    columnas->setHighlightSections(false);
    columnas->setSectionResizeMode(ModeloLista::x, QHeaderView::Fixed);
    // With the channel's column the fixed ones still leave the last its minimum at 900 points.
    const int anchos[] = {26, 200, 80, 140, 80};
    for (int c = 0; c < ModeloLista::ruta; ++c)
        lista->setColumnWidth(c, anchos[c]);
    lista->setColumnHidden(ModeloLista::canal, true);
    // Only the last column follows the view, down to a narrow window: a last section
    // merely stretched never gets narrower than it started, and its cells would be cut
    // by the edge of the view instead of shortened in the middle.
    columnas->setMinimumSectionSize(26);
    columnas->setSectionResizeMode(ModeloLista::ruta, QHeaderView::Stretch);
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
}

void Camaras::montarCredenciales()
{
    // Four groups that never split: user, password, period, "Listar". At the standard
    // width they make one line, the last two against the right edge; narrower, those two
    // go on to a second line.
    auto* fila = new FilaFluida(pCred, 36);
    credenciales = fila;
    auto* usuario = grupo(170);
    colocar(rotulo(QStringLiteral("Usuario")), usuario, 0, 9, 56, 18, fijo);
    tU = campo(QStringLiteral("admin"));
    colocar(tU, usuario, 60, 6, 110, 24, fijo);
    fila->anadir(usuario, 0);

    auto* contrasena = grupo(264);
    colocar(rotulo(QStringLiteral("Contraseña")), contrasena, 0, 9, 76, 18, fijo);
    tP = campo(QString());
    tP->setEchoMode(QLineEdit::Password);
    colocar(tP, contrasena, 80, 6, 130, 24, fijo);
    tPVer = campo(QString());
    colocar(tPVer, contrasena, 80, 6, 130, 24, fijo);
    tPVer->hide();
    cVer = new Casilla(QStringLiteral("ver"), false, [this](bool si) { verClave(si); });
    colocar(cVer, contrasena, 216, 8, 48, 20, fijo);
    fila->anadir(contrasena, 12);

    auto* periodo = grupo(166);
    colocar(rotulo(QStringLiteral("Periodo")), periodo, 0, 9, 56, 18, fijo);
    cPer = new QComboBox;
    cPer->setFont(fuenteSistema(13));
    cPer->addItems({QStringLiteral("24 horas"), QStringLiteral("7 días"), QStringLiteral("30 días"),
                    QStringLiteral("todo")});
    cPer->setCurrentIndex(1);
    // Any window of time, from a small dialog; the item of the dates chosen goes before it.
    cPer->addItem(QStringLiteral("Elegir fechas…"));
    cPer->view()->setMinimumWidth(150);
    connect(cPer, &QComboBox::activated, this, &Camaras::elegirPeriodo);
    colocar(cPer, periodo, 58, 4, 108, 26, fijo);
    fila->anadir(periodo, 6, true);
    montarCanal(fila, periodo);

    auto* listar = grupo(108);
    bListar = new BotonZORV(QStringLiteral("Listar"), true, [this] { listarRed(); });
    colocar(bListar, listar, 0, 2, 108, 32, fijo);
    fila->anadir(listar, 10, true);
    // Return lists from this row and from the tree where the device was chosen; the list
    // below has its own main button.
    bListar->returnEn({pCred, arbol});
}

void Camaras::montarCanal(FilaFluida* fila, QWidget* periodo)
{
    // Before the period, shown once a listing found more than one channel; it narrows the
    // list and chooses the live stream.
    pCanal = static_cast<Volteada*>(grupo(230));
    colocar(rotulo(QStringLiteral("Canal")), pCanal, 0, 9, 44, 18, fijo);
    cCanal = new QComboBox;
    cCanal->setFont(fuenteSistema(13));
    cCanal->addItem(QStringLiteral("Todos los canales"), 0);
    cCanal->view()->setMinimumWidth(260);
    colocar(cCanal, pCanal, 48, 4, 182, 26, fijo);
    connect(cCanal, &QComboBox::activated, this, [this] { mostrarCanal(); });
    fila->anadir(pCanal, 12, true, periodo);
    pCanal->hide();
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
    // Return downloads from the list, where the recordings are marked.
    bDesc->returnEn({lista, bDesc});
    bReintentar = new BotonZORV(QStringLiteral("Reintentar fallidos"), false, [this] { reintentarFallidos(); });
    colocar(bReintentar, panel, 316, 12, 150, 32, derecha);
    bReintentar->hide();
    bFin = new BotonZORV(QStringLiteral("Cerrar"), false, [this] { ventana->close(); });
    // The desktop's own key for closing a window; the window manager's Alt+F4 may be
    // missing or taken.
    bFin->teclaEquivalente(QKeySequence(Qt::CTRL | Qt::Key_W));
    colocar(bFin, panel, 686, 12, 76, 32, derecha);
}

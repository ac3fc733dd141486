#include "rafaga/controlador_rafaga.h"

#include "comun/texto.h"
#include "estilo/alerta.h"
#include "estilo/cabecera.h"
#include "estilo/color.h"
#include "estilo/etiqueta.h"
#include "estilo/fondo.h"
#include "rafaga/textos_rafaga.h"

#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <dirent.h>

namespace {

// Every name in a folder, unsorted; none when it cannot be read. readdir straight: a
// quarter of QDir's time on a day's burst, and the listing is on the way to the window.
QStringList nombresEn(const QString& carpeta)
{
    QStringList nombres;
    DIR* dir = opendir(QFile::encodeName(carpeta).constData());
    if (!dir)
        return nombres;
    while (const dirent* e = readdir(dir))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            nombres << QFile::decodeName(e->d_name);
    closedir(dir);
    return nombres;
}

} // namespace

QSize tamanoVentanaRafaga()
{
    QSizeF tres(1050, 675);
    if (const QScreen* pantalla = QGuiApplication::primaryScreen())
        tres = QSizeF(pantalla->availableGeometry().size()) * 0.75;
    return QSize(int(std::max(tres.width(), 1000.0)), int(std::max(tres.height(), 660.0)));
}

ControladorRafaga::ControladorRafaga(const QString& c, double seg, double base)
    : carpeta(c)
{
    const QSize tam = tamanoVentanaRafaga();
    ventana = std::make_unique<VentanaZORV>(QStringLiteral("Ráfaga"), tam.width(), tam.height(), true);
    rejilla = new Rejilla;

    const QString mini = carpeta + QStringLiteral("/mini/");
    QStringList nombres = nombresEn(mini);
    nombres.removeIf([](const QString& n) { return !n.endsWith(QLatin1String(".jpg")); });
    std::sort(nombres.begin(), nombres.end());

    for (const QString& nombre : std::as_const(nombres)) {
        const std::optional<int> n = enteroDecimal(nombre.chopped(4));
        if (!n)
            continue;
        auto celda = std::make_unique<CeldaRafaga>(*n, mini + nombre,
                                                   leyendaCaptura(*n, seg, base));
        celda->alCambiar = [this] { refrescar(); };
        celda->alAbrir = [this](int k) { abrirVisor(k); };
        rejilla->anadir(std::move(celda));
    }
    construir(nombres.size(), seg);
}

ControladorRafaga::~ControladorRafaga()
{
    // Destroying the window sends the viewport's last events through this filter when
    // the scroll area is already half destroyed; stop listening before that.
    if (scroll) {
        scroll->viewport()->removeEventFilter(this);
        scroll->removeEventFilter(this);
    }
}

void ControladorRafaga::construir(qsizetype n, double seg)
{
    QWidget* raiz = ventana.get();
    ventana->setMinimumSize(760, 480);
    auto* columna = new QVBoxLayout(raiz);
    columna->setContentsMargins(0, 0, 0, 0);
    columna->setSpacing(0);
    Fondo* banda = cabecera(tituloRafaga(n, seg),
                            QStringLiteral("Clic en una imagen la marca; doble clic la abre a tamaño "
                                           "grande. Lo no marcado se borra definitivamente."));
    lTitulo = banda->findChild<QLabel*>();
    columna->addWidget(banda);
    pila_ = new QStackedLayout;
    columna->addLayout(pila_, 1);

    pagina_ = new QWidget;
    auto* capas = new QVBoxLayout(pagina_);
    capas->setContentsMargins(0, 0, 0, 0);
    capas->setSpacing(0);
    scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    // Always there, so the width the grid lays out for does not depend on its height.
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setBackgroundRole(QPalette::Base);
    QPalette blanco = scroll->palette();
    blanco.setColor(QPalette::Base, Qt::white);
    scroll->setPalette(blanco);
    scroll->setWidget(rejilla);
    scroll->verticalScrollBar()->setSingleStep(48);
    // A slim bar of plain fills. The toolkit's own draws its groove with long lines
    // that Qt hands to its thread pool and waits for, on every scroll step: on a busy
    // machine (the player decoding video beside us) those waits are what stutters.
    scroll->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: #f0f0f0; width: 14px; margin: 0; }"
        "QScrollBar::handle:vertical { background: #b4b4b4; min-height: 32px; border-radius: 5px; margin: 2px; }"
        "QScrollBar::handle:vertical:hover { background: #969696; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    capas->addWidget(scroll, 1);
    capas->addWidget(barraInferior());
    pila_->addWidget(pagina_);
    construirVisor();
    pila_->addWidget(visor);
    pila_->setCurrentWidget(pagina_);

    scroll->viewport()->installEventFilter(this);
    // The grid's place in the Tab cycle: its keys and its focus mark (the current cell).
    scroll->setFocusPolicy(Qt::StrongFocus);
    scroll->installEventFilter(this);
    scroll->setFocus(Qt::OtherFocusReason);
    // The columns and the first thumbnails are known before the window shows, so the
    // decoding starts while the window is still being mapped.
    columna->activate();
    QResizeEvent medida(scroll->size(), QSize());
    QCoreApplication::sendEvent(scroll, &medida);
    rejilla->recolocar(scroll->viewport()->width());
}

QWidget* ControladorRafaga::barraInferior()
{
    auto* barra = new Fondo(Color::fondo);
    barra->setFixedHeight(56);
    auto* fila = new QHBoxLayout(barra);
    fila->setContentsMargins(16, 0, 16, 0);
    fila->setSpacing(0);
    fila->addWidget(new BotonZORV(QStringLiteral("Marcar todas"), false, [this] { marcarTodas(true); }));
    fila->addSpacing(8);
    fila->addWidget(new BotonZORV(QStringLiteral("Ninguna"), false, [this] { marcarTodas(false); }));
    // Between the two groups of buttons, the room that is left: the grid's keys.
    lTeclas = etiqueta(QStringLiteral("Flechas mueven · Espacio marca · V la abre"), 11, QFont::Normal, Color::gris);
    lTeclas->setWordWrap(false);
    QSizePolicy libre(QSizePolicy::Ignored, QSizePolicy::Preferred);
    libre.setRetainSizeWhenHidden(true);
    lTeclas->setSizePolicy(libre);
    lTeclas->setAlignment(Qt::AlignCenter);
    lTeclas->setVisible(false);
    fila->addWidget(lTeclas, 1);
    bGuardar = new BotonZORV(QStringLiteral("Guardar elegidas (0)"), true, [this] {
        resultado = 0;
        ventana->close();
    });
    bGuardar->setEnabled(false);
    fila->addWidget(bGuardar);
    fila->addSpacing(10);
    fila->addWidget(new BotonZORV(QStringLiteral("Descartar todas"), false, [this] { descartarTodas(); }));
    return barra;
}

void ControladorRafaga::construirVisor()
{
    visor = new Visor;
    visor->setAutoFillBackground(true);
    QPalette p = visor->palette();
    p.setColor(QPalette::Window, QColor(18, 24, 18));
    visor->setPalette(p);
    auto* columna = new QVBoxLayout(visor);
    columna->setContentsMargins(0, 0, 0, 0);
    columna->setSpacing(0);
    auto* marco = new QVBoxLayout;
    marco->setContentsMargins(8, 8, 8, 8);
    visorImagen = new VistaImagen;
    marco->addWidget(visorImagen);
    columna->addLayout(marco, 1);

    auto* barra = new Fondo(QColor(30, 40, 30));
    barra->setFixedHeight(70);
    columna->addWidget(barra);
    auto* filas = new QVBoxLayout(barra);
    filas->setContentsMargins(16, 6, 16, 8);
    filas->setSpacing(0);
    visorTexto = etiqueta(QString(), 13, QFont::Normal, Qt::white);
    visorTexto->setWordWrap(false);
    filas->addWidget(visorTexto);
    filas->addStretch(1);
    auto* botones = new QHBoxLayout;
    botones->setSpacing(0);
    auto boton = [botones](const QString& titulo, bool principal, std::function<void()> accion) {
        auto* b = new BotonZORV(titulo, principal, std::move(accion));
        // The keys belong to the viewer: a clicked button must not keep Space or the
        // arrows for itself.
        b->setFocusPolicy(Qt::NoFocus);
        botones->addWidget(b);
        return b;
    };
    boton(QStringLiteral("◀  Anterior"), false, [this] { saltar(-1); });
    botones->addSpacing(8);
    bMarcarSeguir = boton(QStringLiteral("Marcar y seguir"), true, [this] {
        marcarVisor();
        saltar(+1);
    });
    botones->addSpacing(8);
    boton(QStringLiteral("Siguiente  ▶"), false, [this] { saltar(+1); });
    botones->addStretch(1);
    boton(QStringLiteral("Volver a la galería"), false, [this] { cerrarVisor(); });
    filas->addLayout(botones);
    visor->tecla = [this](QKeyEvent* e) { return tecla(e); };
}

bool ControladorRafaga::tecla(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Space:
        marcarVisor();
        return true;
    case Qt::Key_Escape:
        cerrarVisor();
        return true;
    case Qt::Key_Left:
        saltar(-1);
        return true;
    case Qt::Key_Right:
        saltar(+1);
        return true;
    default:
        return false;
    }
}

bool ControladorRafaga::eventFilter(QObject* objeto, QEvent* e)
{
    if (objeto == scroll->viewport() && e->type() == QEvent::Resize)
        rejilla->recolocar(scroll->viewport()->width());
    if (objeto == scroll && (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut)) {
        const bool dentro = e->type() == QEvent::FocusIn;
        // Coming back to a grid scrolled away from its current cell: the keyboard starts
        // from what is on screen.
        if (dentro && !rejilla->celdas().empty()
            && !rejilla->celdas()[size_t(rejilla->actual())]->marco().intersects(rejilla->zonaVisible()))
            rejilla->setActual(rejilla->primeraVisible());
        rejilla->setConFoco(dentro);
        lTeclas->setVisible(dentro);
    }
    if (objeto == scroll && e->type() == QEvent::KeyPress && teclaRejilla(static_cast<QKeyEvent*>(e)))
        return true;
    return QObject::eventFilter(objeto, e);
}

bool ControladorRafaga::teclaRejilla(QKeyEvent* e)
{
    const int n = int(rejilla->celdas().size());
    if (n == 0 || (e->modifiers() & ~Qt::KeypadModifier))
        return false;
    const int i = rejilla->actual();
    const int c = rejilla->columnas();
    const int pagina = std::max(1, scroll->viewport()->height() / Rejilla::pasoY) * c;
    switch (e->key()) {
    case Qt::Key_Left:
        irA(i - 1);
        return true;
    case Qt::Key_Right:
        irA(i + 1);
        return true;
    case Qt::Key_Up:
        irA(i >= c ? i - c : i);
        return true;
    case Qt::Key_Down:
        // To the last cell when the row below is shorter than this column.
        irA(i + c < n ? i + c : (i / c < (n - 1) / c ? n - 1 : i));
        return true;
    case Qt::Key_PageUp:
        irA(i - std::min(pagina, i / c * c));
        return true;
    case Qt::Key_PageDown:
        irA(std::min(i + pagina, n - 1));
        return true;
    case Qt::Key_Home:
        irA(0);
        return true;
    case Qt::Key_End:
        irA(n - 1);
        return true;
    case Qt::Key_Space:
        rejilla->celdas()[size_t(i)]->pulsar(1);
        return true;
    case Qt::Key_V:
        abrirVisor(rejilla->celdas()[size_t(i)]->numero);
        return true;
    default:
        return false;
    }
}

void ControladorRafaga::irA(int indice)
{
    rejilla->setActual(indice);
    const QRect m = rejilla->celdas()[size_t(rejilla->actual())]->marco();
    scroll->ensureVisible(m.center().x(), m.center().y(), 0, m.height() / 2 + Rejilla::margen);
}

int ControladorRafaga::indiceDe(int k) const
{
    const auto& celdas = rejilla->celdas();
    for (size_t i = 0; i < celdas.size(); ++i)
        if (celdas[i]->numero == k)
            return int(i);
    return -1;
}

QString ControladorRafaga::rutaCompleta(int k) const
{
    return carpeta + QStringLiteral("/full/") + QString::asprintf("%06d.jpg", k);
}

CeldaRafaga* ControladorRafaga::celda(int k) const
{
    const int i = indiceDe(k);
    return i < 0 ? nullptr : rejilla->celdas()[size_t(i)].get();
}

void ControladorRafaga::refrescar()
{
    qsizetype marcadas = 0;
    for (const auto& c : rejilla->celdas())
        marcadas += c->marcada();
    bGuardar->setText(QStringLiteral("Guardar elegidas (%1)").arg(marcadas));
    bGuardar->setEnabled(marcadas > 0);
}

void ControladorRafaga::marcarTodas(bool si)
{
    for (const auto& c : rejilla->celdas())
        c->setMarcada(si);
    refrescar();
}

void ControladorRafaga::descartarTodas()
{
    const int b = alerta(QStringLiteral("¿Descartar todas?"),
                         QStringLiteral("Se borrarán definitivamente todas las capturas de la ráfaga."),
                         {QStringLiteral("Descartar"), QStringLiteral("Volver")}, EstiloAlerta::aviso);
    if (b != 0)
        return;
    resultado = 1;
    ventana->close();
}

void ControladorRafaga::abrirVisor(int k)
{
    visorK = k;
    visorImagen->cargar(rutaCompleta(k));
    const int i = indiceDe(k);
    if (i < 0)
        return;
    // The captures the user is likely to step to next are decoded while this one is
    // looked at.
    QStringList vecinas;
    for (int d : {+1, -1, +2}) {
        const qsizetype j = qsizetype(i) + d;
        if (j >= 0 && j < qsizetype(rejilla->celdas().size()))
            vecinas << rutaCompleta(rejilla->celdas()[size_t(j)]->numero);
    }
    visorImagen->anticipar(vecinas);
    const CeldaRafaga& c = *rejilla->celdas()[size_t(i)];
    visorTexto->setText(QStringLiteral("Captura ") + c.texto + QStringLiteral("   ")
                        + (c.marcada() ? QStringLiteral("✔ MARCADA") : QStringLiteral("sin marcar"))
                        + QStringLiteral("   (%1 de %2)      Teclas: Espacio marca · flechas saltan · Esc vuelve")
                              .arg(i + 1)
                              .arg(rejilla->celdas().size()));
    bMarcarSeguir->setText(c.marcada() ? QStringLiteral("Desmarcar y seguir")
                                       : QStringLiteral("Marcar y seguir"));
    pila_->setCurrentWidget(visor);
    visor->setFocus(Qt::OtherFocusReason);
}

void ControladorRafaga::saltar(int d)
{
    const int i = indiceDe(visorK);
    if (i < 0)
        return;
    const qsizetype j = qsizetype(i) + d;
    if (j >= 0 && j < qsizetype(rejilla->celdas().size()))
        abrirVisor(rejilla->celdas()[size_t(j)]->numero);
}

void ControladorRafaga::marcarVisor()
{
    CeldaRafaga* c = celda(visorK);
    if (!c)
        return;
    c->setMarcada(!c->marcada());
    refrescar();
    abrirVisor(visorK);
}

void ControladorRafaga::cerrarVisor()
{
    pila_->setCurrentWidget(pagina_);
    visorImagen->limpiar();
    // Back where the viewer was: after stepping through fifty captures the grid shows
    // the last one seen, not the one the viewer was opened on, and the keyboard is there.
    if (const int i = indiceDe(visorK); i >= 0)
        irA(i);
    scroll->setFocus(Qt::OtherFocusReason);
}

QString ControladorRafaga::elegidas() const
{
    QStringList numeros;
    for (const auto& c : rejilla->celdas())
        if (c->marcada())
            numeros << QString::number(c->numero);
    return numeros.join(QLatin1Char(','));
}

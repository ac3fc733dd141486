#include "rafaga/rejilla.h"

#include "estilo/color.h"
#include "estilo/etiqueta.h"
#include "rafaga/cargador_miniaturas.h"
#include "rafaga/reserva_miniaturas.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>
#include <cmath>

namespace {

// Enough for every thumbnail of an hour's burst at 2 s; a day's burst keeps those
// nearest the view and decodes the rest again when the user gets there.
constexpr qint64 kPresupuesto = qint64(160) << 20;

const QColor kGrisCelda = QColor::fromRgbF(0.88f, 0.88f, 0.88f);

} // namespace

Rejilla::Rejilla(QWidget* padre)
    : QWidget(padre)
    , fuente_(fuenteSistema(13))
    , presupuesto_(kPresupuesto)
{
    // Every pixel is painted here: lets the scroll area move what is already drawn
    // instead of repainting the whole view on each step.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

Rejilla::~Rejilla()
{
    // The workers first: nothing may arrive for cells that are going away.
    cargador_.reset();
}

void Rejilla::anadir(std::unique_ptr<CeldaRafaga> celda)
{
    celda->rejilla_ = this;
    celdas_.push_back(std::move(celda));
    ultimasColumnas_ = 0;
}

void Rejilla::recolocar(int ancho)
{
    columnas_ = std::max(1, (ancho - margen) / pasoX);
    const int n = int(celdas_.size());
    for (int i = 0; i < n; ++i)
        celdas_[size_t(i)]->origen_ =
            QPoint(margen + (i % columnas_) * pasoX, margen + (i / columnas_) * pasoY);
    const int filas = (n + columnas_ - 1) / columnas_;
    resize(ancho, margen + filas * pasoY);
    planificar();
}

Rejilla::Filas Rejilla::filasEn(const QRect& zona) const
{
    const int n = int(celdas_.size());
    const int filas = (n + columnas_ - 1) / columnas_;
    Filas f;
    if (filas == 0 || zona.isEmpty())
        return f;
    f.primera = std::clamp((zona.top() - margen) / pasoY, 0, filas - 1);
    f.ultima = std::clamp((zona.bottom() - margen) / pasoY, 0, filas - 1);
    return f;
}

QRect Rejilla::zonaVisible() const
{
    if (const QWidget* marco = parentWidget())
        return QRect(-pos(), marco->size()) & rect();
    return rect();
}

int Rejilla::indiceEn(const QPoint& punto) const
{
    if (punto.x() < margen || punto.y() < margen)
        return -1;
    const int col = (punto.x() - margen) / pasoX;
    const int fila = (punto.y() - margen) / pasoY;
    if (col >= columnas_)
        return -1;
    const size_t i = size_t(fila) * size_t(columnas_) + size_t(col);
    if (i >= celdas_.size() || !celdas_[i]->marco().contains(punto))
        return -1;
    return int(i);
}

CeldaRafaga* Rejilla::celdaEn(const QPoint& punto) const
{
    const int i = indiceEn(punto);
    return i < 0 ? nullptr : celdas_[size_t(i)].get();
}

QRect Rejilla::marcoActual() const
{
    if (actual_ < 0 || actual_ >= int(celdas_.size()))
        return {};
    return celdas_[size_t(actual_)]->marco().adjusted(-5, -5, 5, 5);
}

void Rejilla::setActual(int indice)
{
    if (celdas_.empty())
        return;
    indice = std::clamp(indice, 0, int(celdas_.size()) - 1);
    if (indice == actual_)
        return;
    if (conFoco_)
        update(marcoActual());
    actual_ = indice;
    if (conFoco_)
        update(marcoActual());
}

void Rejilla::setConFoco(bool si)
{
    if (si == conFoco_)
        return;
    conFoco_ = si;
    update(marcoActual());
}

int Rejilla::primeraVisible() const
{
    const Filas f = filasEn(zonaVisible());
    // The first row whose cells can be seen whole, if the top one is cut.
    int fila = f.primera;
    if (fila < f.ultima && margen + fila * pasoY < zonaVisible().top())
        ++fila;
    return std::min(fila * columnas_, int(celdas_.size()) - 1);
}

void Rejilla::repintar(const CeldaRafaga& celda)
{
    // Cells out of view are painted fresh when they come in; asking for each of them
    // would make "mark all" cost as much as the burst is long.
    const QRect r = celda.marco();
    if (r.intersects(zonaVisible()))
        update(r);
}

void Rejilla::paintEvent(QPaintEvent* e)
{
    QPainter p(this);
    const QRect zona = e->rect();
    p.fillRect(zona, Qt::white);
    const Filas f = filasEn(zona);
    p.setFont(fuente_);
    QStyleOptionButton casilla;
    casilla.initFrom(this);
    casilla.state &= ~(QStyle::State_MouseOver | QStyle::State_HasFocus);
    casilla.fontMetrics = QFontMetrics(fuente_);
    for (int fila = f.primera; fila <= f.ultima; ++fila)
        for (int col = 0; col < columnas_; ++col) {
            const size_t i = size_t(fila) * size_t(columnas_) + size_t(col);
            if (i >= celdas_.size())
                break;
            const CeldaRafaga& c = *celdas_[i];
            if (!c.marco().intersects(zona))
                continue;
            pintarCelda(p, c);
            casilla.rect = CeldaRafaga::marcoCasilla.translated(c.origen_);
            casilla.text = c.texto;
            casilla.state &= ~(QStyle::State_On | QStyle::State_Off);
            casilla.state |= c.marcada() ? QStyle::State_On : QStyle::State_Off;
            style()->drawControl(QStyle::CE_CheckBox, &casilla, &p, this);
        }
    if (conFoco_ && marcoActual().intersects(zona)) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(Color::tinta, 3));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(marcoActual()).adjusted(1.5, 1.5, -1.5, -1.5), CeldaRafaga::radio + 3,
                          CeldaRafaga::radio + 3);
    }
}

void Rejilla::pintarCelda(QPainter& p, const CeldaRafaga& c)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(c.marcada() ? Color::turquesa : kGrisCelda);
    p.drawRoundedRect(c.marco(), CeldaRafaga::radio, CeldaRafaga::radio);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QRect caja = CeldaRafaga::marcoImagen.translated(c.origen_);
    p.fillRect(caja, Qt::black);
    const QImage& img = c.miniatura();
    if (img.isNull())
        return;
    QSizeF tam = img.deviceIndependentSize();
    if (tam.width() > caja.width() || tam.height() > caja.height())
        tam = tam.scaled(caja.size(), Qt::KeepAspectRatio);
    QRectF destino(QPointF(), tam);
    destino.moveCenter(QRectF(caja).center());
    // Thumbnails are decoded at the size they are shown: drawn one to one, no scaling.
    destino.moveTopLeft(QPointF(std::round(destino.left()), std::round(destino.top())));
    if (destino.size() == tam && img.format() == QImage::Format_RGB888) {
        // Qt blends 24-bit pictures line by line on its thread pool and waits for it;
        // on a busy machine that wait is a stall. A 32-bit copy is a plain blit.
        p.drawImage(destino.topLeft(), img.convertToFormat(QImage::Format_RGB32));
        return;
    }
    p.drawImage(destino, img);
}

void Rejilla::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(e);
    const int i = indiceEn(e->position().toPoint());
    if (i < 0)
        return;
    setActual(i);
    celdas_[size_t(i)]->pulsar(1);
}

void Rejilla::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return QWidget::mouseDoubleClickEvent(e);
    if (CeldaRafaga* c = celdaEn(e->position().toPoint()))
        c->pulsar(2);
}

void Rejilla::moveEvent(QMoveEvent* e)
{
    QWidget::moveEvent(e);
    planificar();
}

void Rejilla::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    planificar();
}

void Rejilla::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    ultimasColumnas_ = 0;
    planificar();
}

QSize Rejilla::cajaMiniatura() const
{
    const qreal dpr = devicePixelRatioF();
    return QSize(int(std::ceil(CeldaRafaga::marcoImagen.width() * dpr)),
                 int(std::ceil(CeldaRafaga::marcoImagen.height() * dpr)));
}

bool Rejilla::vistaCompleta() const
{
    const Filas f = filasEn(zonaVisible());
    for (int fila = f.primera; fila <= f.ultima; ++fila)
        for (int col = 0; col < columnas_; ++col) {
            const size_t i = size_t(fila) * size_t(columnas_) + size_t(col);
            if (i < celdas_.size() && celdas_[i]->carga_ == CeldaRafaga::Carga::pendiente)
                return false;
        }
    return true;
}

bool Rejilla::ventanaCompleta() const
{
    for (int i = ventanaIni_; i < ventanaFin_; ++i)
        if (celdas_[size_t(i)]->carga_ == CeldaRafaga::Carga::pendiente)
            return false;
    return true;
}

void Rejilla::setPresupuesto(qint64 bytes)
{
    presupuesto_ = bytes;
    reserva_.reset();
    ultimasColumnas_ = 0;
    planificar();
}

void Rejilla::planificar()
{
    const int n = int(celdas_.size());
    if (n == 0)
        return;
    const int filas = (n + columnas_ - 1) / columnas_;
    QRect zona = zonaVisible();
    if (zona.isEmpty()) // not laid out yet: the top of the grid is what will show first
        zona = QRect(0, 0, width(), 4 * pasoY);
    const Filas vista = filasEn(zona);
    if (vista.ultima < vista.primera)
        return;
    if (vista.primera == ultimaVista_.primera && vista.ultima == ultimaVista_.ultima
        && columnas_ == ultimasColumnas_)
        return;
    ultimaVista_ = vista;
    ultimasColumnas_ = columnas_;

    // The rows in view, then rows around them, two below for each one above (the user
    // reads downwards), as many as the budget holds.
    const QSize caja = cajaMiniatura();
    const int capacidad = int(std::min<qint64>(n, presupuesto_ / ReservaMiniaturas::bytesHueco(caja)));
    std::vector<int> orden;
    for (int f = vista.primera; f <= vista.ultima; ++f)
        orden.push_back(f);
    int arriba = vista.primera - 1, abajo = vista.ultima + 1;
    for (int paso = 0; int(orden.size()) * columnas_ < capacidad; ++paso) {
        const bool haciaArriba = paso % 3 == 2 || abajo >= filas;
        if (haciaArriba && arriba >= 0)
            orden.push_back(arriba--);
        else if (abajo < filas)
            orden.push_back(abajo++);
        else if (arriba >= 0)
            orden.push_back(arriba--);
        else
            break;
    }
    ventanaIni_ = (arriba + 1) * columnas_;
    ventanaFin_ = std::min(n, abajo * columnas_);

    std::vector<CargadorMiniaturas::Pedido> plan;
    plan.reserve(orden.size() * size_t(columnas_));
    for (int f : orden)
        for (int i = f * columnas_; i < std::min(n, (f + 1) * columnas_); ++i)
            if (celdas_[size_t(i)]->carga_ == CeldaRafaga::Carga::pendiente)
                plan.push_back({i, celdas_[size_t(i)]->ruta, caja});
    if (!cargador_) {
        if (plan.empty())
            return;
        cargador_ = std::make_unique<CargadorMiniaturas>();
        cargador_->alLlegar = [this](int i, const QImage& img) { llegada(i, img); };
    }
    cargador_->pedir(std::move(plan));
}

void Rejilla::llegada(int indice, const QImage& imagen)
{
    if (indice < 0 || indice >= int(celdas_.size()))
        return;
    CeldaRafaga& c = *celdas_[size_t(indice)];
    if (c.carga_ != CeldaRafaga::Carga::pendiente)
        return;
    if (imagen.isNull()) {
        c.carga_ = CeldaRafaga::Carga::ilegible;
        repintar(c);
        return;
    }
    // The view has moved on: holding it would only push out one the user can see.
    if (indice < ventanaIni_ || indice >= ventanaFin_)
        return;
    // Room first, the farthest from the view going, so that a slot is free for it.
    const int centro = (ventanaIni_ + ventanaFin_) / 2;
    while (bytes_ + imagen.sizeInBytes() > presupuesto_ && !cargadas_.empty()) {
        const int primera = *cargadas_.begin(), ultima = *cargadas_.rbegin();
        soltar(centro - primera >= ultima - centro ? primera : ultima);
    }
    if (!reserva_ || reserva_->caja() != cajaMiniatura())
        reserva_ = ReservaMiniaturas::crear(presupuesto_, cajaMiniatura());
    c.miniatura_ = reserva_->guardar(imagen);
    c.miniatura_.setDevicePixelRatio(devicePixelRatioF());
    c.carga_ = CeldaRafaga::Carga::cargada;
    bytes_ += c.miniatura_.sizeInBytes();
    cargadas_.insert(indice);
    repintar(c);
}

void Rejilla::soltar(int indice)
{
    CeldaRafaga& c = *celdas_[size_t(indice)];
    bytes_ -= c.miniatura_.sizeInBytes();
    c.miniatura_ = QImage();
    c.carga_ = CeldaRafaga::Carga::pendiente;
    cargadas_.erase(indice);
}

#include "rafaga/vista_imagen.h"

#include "rafaga/cargador_miniaturas.h"

#include <QPainter>
#include <QScreen>
#include <cmath>

VistaImagen::VistaImagen(QWidget* padre)
    : QWidget(padre)
{
    redecodificar_.setSingleShot(true);
    redecodificar_.setInterval(150);
    connect(&redecodificar_, &QTimer::timeout, this, [this] {
        const QString ruta = ruta_;
        listas_.clear();
        ruta_.clear();
        if (!ruta.isEmpty())
            cargar(ruta);
        // The neighbours decoded ahead were for the old size: again, for this one (the
        // viewer's first showing is such a resize).
        if (!vecinas_.isEmpty())
            anticipar(QStringList(vecinas_));
    });
}

VistaImagen::~VistaImagen() = default;

QSize VistaImagen::caja() const
{
    QSizeF logico = size();
    if (logico.isEmpty() && screen())
        logico = screen()->size();
    return (logico * devicePixelRatioF()).toSize();
}

void VistaImagen::cargar(const QString& ruta)
{
    if (ruta == ruta_ && !imagen_.isNull())
        return;
    ruta_ = ruta;
    const auto lista = listas_.constFind(ruta);
    imagen_ = lista != listas_.cend() && (lista->isNull() || lista->size() == lista->size().scaled(caja(), Qt::KeepAspectRatio))
        ? *lista
        : decodificarMiniatura(ruta, caja(), QImage::Format_RGB32);
    imagen_.setDevicePixelRatio(devicePixelRatioF());
    escalada_ = QImage();
    update();
}

void VistaImagen::anticipar(const QStringList& rutas)
{
    vecinas_ = rutas;
    for (auto it = listas_.begin(); it != listas_.end();)
        it = rutas.contains(it.key()) ? std::next(it) : listas_.erase(it);
    std::vector<CargadorMiniaturas::Pedido> plan;
    for (const QString& r : rutas)
        if (!listas_.contains(r) && r != ruta_) {
            enCamino_.insert(siguientePedido_, r);
            plan.push_back({siguientePedido_++, r, caja()});
        }
    if (!cargador_) {
        cargador_ = std::make_unique<CargadorMiniaturas>(1, QImage::Format_RGB32);
        cargador_->alLlegar = [this](int i, const QImage& img) {
            const QString r = enCamino_.take(i);
            if (!r.isEmpty())
                listas_.insert(r, img);
        };
    }
    cargador_->pedir(std::move(plan));
}

void VistaImagen::limpiar()
{
    vecinas_.clear();
    if (cargador_)
        cargador_->pedir({});
    enCamino_.clear();
    listas_.clear();
    ruta_.clear();
    imagen_ = QImage();
    escalada_ = QImage();
    update();
}

void VistaImagen::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    if (!ruta_.isEmpty())
        redecodificar_.start();
}

void VistaImagen::paintEvent(QPaintEvent*)
{
    if (imagen_.isNull() || width() <= 0 || height() <= 0)
        return;
    const qreal dpr = devicePixelRatioF();
    const QSize destino = imagen_.size().scaled(caja(), Qt::KeepAspectRatio);
    if (destino.isEmpty())
        return;
    const QImage* vista = &imagen_;
    if (destino != imagen_.size()) {
        // Only while a resize is in progress: the picture is decoded again for the new
        // size as soon as it settles.
        if (escalada_.size() != destino) {
            escalada_ = imagen_.scaled(destino, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            escalada_.setDevicePixelRatio(dpr);
        }
        vista = &escalada_;
    }
    const QSizeF logico = vista->deviceIndependentSize();
    QPainter p(this);
    p.drawImage(QPointF(std::round((width() - logico.width()) / 2),
                        std::round((height() - logico.height()) / 2)),
                *vista);
}

#include "rafaga/vista_imagen.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QScreen>
#include <cmath>

VistaImagen::VistaImagen(QWidget* padre)
    : QWidget(padre)
{
}

void VistaImagen::cargar(const QString& ruta)
{
    if (ruta == ruta_ && !imagen_.isNull())
        return;
    ruta_ = ruta;
    QImageReader lector(ruta);
    QSize tope(3840, 2160);
    if (const QScreen* pantalla = screen())
        tope = (QSizeF(pantalla->size()) * pantalla->devicePixelRatio()).toSize();
    const QSize original = lector.size();
    if (original.isValid() && (original.width() > tope.width() || original.height() > tope.height()))
        lector.setScaledSize(original.scaled(tope, Qt::KeepAspectRatio));
    imagen_ = lector.read();
    escalada_ = QImage();
    update();
}

void VistaImagen::limpiar()
{
    ruta_.clear();
    imagen_ = QImage();
    escalada_ = QImage();
    update();
}

void VistaImagen::paintEvent(QPaintEvent*)
{
    if (imagen_.isNull() || width() <= 0 || height() <= 0)
        return;
    const qreal dpr = devicePixelRatioF();
    const QSize destino =
        imagen_.size().scaled((QSizeF(size()) * dpr).toSize(), Qt::KeepAspectRatio);
    if (destino.isEmpty())
        return;
    if (escalada_.size() != destino) {
        escalada_ = destino == imagen_.size()
            ? imagen_
            : imagen_.scaled(destino, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        escalada_.setDevicePixelRatio(dpr);
    }
    const QSizeF logico = escalada_.deviceIndependentSize();
    QPainter p(this);
    p.drawImage(QPointF(std::round((width() - logico.width()) / 2),
                        std::round((height() - logico.height()) / 2)),
                escalada_);
}

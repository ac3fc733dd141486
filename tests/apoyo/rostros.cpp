#include "apoyo/rostros.h"

#include "apoyo/conjunto_caras.h"
#include "apoyo/escena.h"

#include <QPainter>
#include <algorithm>
#include <random>

namespace {

// The face inside the photograph (ear to ear, brow to chin) and the head-and-shoulders
// crop pasted around it, so the detector sees a face in context.
const QRectF kCaraEnFoto(171, 140, 193, 194);
const QRect kRecorte(75, 24, 385, 426);

} // namespace

QString rutaFotoRostro()
{
    return QStringLiteral("/usr/share/matplotlib/mpl-data/sample_data/grace_hopper.jpg");
}

FotogramaConCaras fotogramaConCaras(const PedidoFotograma& p)
{
    FotogramaConCaras f;
    static const QImage foto(rutaFotoRostro());
    if (foto.isNull())
        return f;
    std::mt19937 azar(p.semilla);
    QImage img = texturaRuido(p.ancho, p.alto, p.semilla, 24 + static_cast<int>(p.semilla % 40));
    QPainter pintor(&img);
    pintor.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int ancho : p.anchos) {
        const double s = ancho / kCaraEnFoto.width();
        const QSizeF tam(kRecorte.width() * s, kRecorte.height() * s);
        QImage trozo = foto.copy(kRecorte).scaled(tam.toSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const bool espejo = azar() % 2;
        if (espejo)
            trozo = trozo.mirrored(true, false);
        const double cx = espejo ? kRecorte.right() + 1 - kCaraEnFoto.right() : kCaraEnFoto.x() - kRecorte.x();
        // The face's centre from the crop's centre.
        const QPointF centro = QPointF(cx * s + kCaraEnFoto.width() * s / 2,
                                       (kCaraEnFoto.y() - kRecorte.y()) * s + kCaraEnFoto.height() * s / 2)
                               - QPointF(tam.width() / 2, tam.height() / 2);
        // A free place: no overlap with the faces already pasted.
        for (int intento = 0; intento < 200; ++intento) {
            const int x = static_cast<int>(azar() % static_cast<unsigned>(std::max(1.0, p.ancho - tam.width())));
            const int y = static_cast<int>(azar() % static_cast<unsigned>(std::max(1.0, p.alto - tam.height())));
            const QPointF medio = QPointF(x + tam.width() / 2, y + tam.height() / 2) + centro;
            const QSizeF lado(kCaraEnFoto.width() * s, kCaraEnFoto.height() * s);
            const QRectF cara(medio - QPointF(lado.width() / 2, lado.height() / 2), lado);
            const QRectF sitio(x, y, tam.width(), tam.height());
            const bool libre = std::none_of(f.caras.begin(), f.caras.end(), [&](const QRectF& c) {
                return c.adjusted(-c.width(), -c.height(), c.width(), c.height()).intersects(sitio);
            });
            if (!libre)
                continue;
            pintor.drawImage(QPointF(x, y), trozo);
            f.caras.push_back(cara);
            break;
        }
    }
    pintor.end();
    if (p.calidadJPEG >= 0)
        img = QImage::fromData(codificada(img, "JPEG", p.calidadJPEG), "JPEG");
    f.imagen = img;
    return f;
}

void puntuar(const std::vector<QRectF>& verdad, const std::vector<QRectF>& halladas, Puntuacion& p)
{
    p.caras += static_cast<int>(verdad.size());
    p.detectadas += static_cast<int>(halladas.size());
    std::vector<bool> usada(halladas.size(), false);
    for (const QRectF& v : verdad) {
        for (size_t k = 0; k < halladas.size(); ++k)
            if (!usada[k] && iou(v, halladas[k]) >= 0.3) {
                usada[k] = true;
                ++p.aciertos;
                break;
            }
    }
}

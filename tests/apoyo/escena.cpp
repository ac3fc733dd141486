#include "apoyo/escena.h"

#include <QBuffer>
#include <QPainter>
#include <algorithm>
#include <vector>

namespace {

uint32_t mezclar(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

} // namespace

QImage texturaRuido(int ancho, int alto, uint32_t semilla, int escala)
{
    // Random values on a coarse lattice, bilinearly interpolated, plus fine grain.
    const int cw = ancho / escala + 2, ch = alto / escala + 2;
    std::vector<float> red(static_cast<size_t>(cw * ch * 3));
    for (size_t k = 0; k < red.size(); ++k)
        red[k] = static_cast<float>(mezclar(semilla * 2654435761U + static_cast<uint32_t>(k)) & 0xff);
    QImage img(ancho, alto, QImage::Format_RGB32);
    for (int y = 0; y < alto; ++y) {
        QRgb* fila = reinterpret_cast<QRgb*>(img.scanLine(y));
        const float fy = static_cast<float>(y) / escala;
        const int y0 = static_cast<int>(fy);
        const float ty = fy - y0;
        for (int x = 0; x < ancho; ++x) {
            const float fx = static_cast<float>(x) / escala;
            const int x0 = static_cast<int>(fx);
            const float tx = fx - x0;
            int c[3];
            for (int k = 0; k < 3; ++k) {
                auto v = [&](int i, int j) { return red[static_cast<size_t>(((j * cw) + i) * 3 + k)]; };
                const float a = v(x0, y0) * (1 - tx) + v(x0 + 1, y0) * tx;
                const float b = v(x0, y0 + 1) * (1 - tx) + v(x0 + 1, y0 + 1) * tx;
                const int grano = static_cast<int>(mezclar(static_cast<uint32_t>(y * ancho + x) ^ semilla) % 21) - 10;
                c[k] = std::clamp(static_cast<int>(a * (1 - ty) + b * ty) + grano, 0, 255);
            }
            fila[x] = qRgb(c[0], c[1], c[2]);
        }
    }
    return img;
}

Escena escenaDePrueba(int ancho, int alto, int anchoObjetivo, int altoObjetivo, uint32_t semilla)
{
    Escena e;
    e.fondo = texturaRuido(ancho, alto, semilla, 24);
    e.objetivo = texturaRuido(anchoObjetivo, altoObjetivo, semilla + 7919, 4);
    return e;
}

QImage fotograma(const Escena& e, QPoint pos)
{
    QImage img = e.fondo.copy();
    QPainter p(&img);
    p.drawImage(pos, e.objetivo);
    return img;
}

QImage fotogramaGrande(const Escena& e, QPoint pos, QSize tam)
{
    QImage img(tam, QImage::Format_RGB32);
    img.fill(qRgb(96, 96, 96));
    QPainter p(&img);
    p.drawImage(0, 0, fotograma(e, pos));
    return img;
}

QByteArray codificada(const QImage& imagen, const char* formato, int calidad)
{
    QByteArray datos;
    QBuffer b(&datos);
    return imagen.save(&b, formato, calidad) ? datos : QByteArray();
}

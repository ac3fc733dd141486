#include "analisis/supresion.h"

#include <algorithm>

double areaComun(const QRectF& a, const QRectF& b)
{
    const double iw = std::min(a.right(), b.right()) - std::max(a.left(), b.left());
    const double ih = std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top());
    return iw > 0.0 && ih > 0.0 ? iw * ih : 0.0;
}

double interseccionSobreUnion(const QRectF& a, const QRectF& b)
{
    const double i = areaComun(a, b);
    if (i <= 0.0)
        return 0.0;
    const double u = a.width() * a.height() + b.width() * b.height() - i;
    return u > 0.0 ? i / u : 0.0;
}

std::vector<Candidata> suprimirPonderado(std::vector<Candidata> candidatas, double umbral)
{
    std::stable_sort(candidatas.begin(), candidatas.end(),
                     [](const Candidata& a, const Candidata& b) { return a.puntuacion > b.puntuacion; });
    std::vector<Candidata> resultado;
    std::vector<bool> usada(candidatas.size(), false);
    for (size_t i = 0; i < candidatas.size(); ++i) {
        if (usada[i])
            continue;
        const QRectF ref = candidatas[i].caja;
        double peso = 0.0, x = 0.0, y = 0.0, w = 0.0, h = 0.0;
        for (size_t j = i; j < candidatas.size(); ++j) {
            if (usada[j] || (j != i && interseccionSobreUnion(ref, candidatas[j].caja) <= umbral))
                continue;
            usada[j] = true;
            const double p = candidatas[j].puntuacion;
            const QRectF& c = candidatas[j].caja;
            peso += p;
            x += p * c.x();
            y += p * c.y();
            w += p * c.width();
            h += p * c.height();
        }
        if (peso <= 0.0)
            resultado.push_back(candidatas[i]);
        else
            resultado.push_back({QRectF(x / peso, y / peso, w / peso, h / peso), candidatas[i].puntuacion});
    }
    return resultado;
}

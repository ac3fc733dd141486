#include "analisis/caras.h"

#include "analisis/blazeface.h"
#include "analisis/fotograma.h"
#include "analisis/supresion.h"
#include "comun/fotogramas.h"
#include "comun/salida.h"

#include <algorithm>
#include <cmath>

std::array<QRect, 5> regionesDeFotograma(int ancho, int alto)
{
    const int a = static_cast<int>(std::floor(0.58 * ancho));
    const int b = static_cast<int>(std::floor(0.58 * alto));
    return {QRect(0, 0, ancho, alto), QRect(0, 0, a, b), QRect(ancho - a, 0, a, b),
            QRect(0, alto - b, a, b), QRect(ancho - a, alto - b, a, b)};
}

bool esDuplicada(const QRectF& a, const QRectF& b)
{
    const double menor = std::min(a.width() * a.height(), b.width() * b.height());
    return areaComun(a, b) > 0.3 * menor;
}

QRectF aPixeles(const QRectF& caja, const QRectF& region)
{
    return QRectF(region.x() + caja.x() * region.width(),
                  region.y() + (1.0 - (caja.y() + caja.height())) * region.height(),
                  caja.width() * region.width(), caja.height() * region.height());
}

std::vector<QRectF> carasDeImagen(const QImage& imagen, const QString& nombre, DetectorCaras& detector)
{
    std::vector<QRectF> caras;
    for (const QRect& region : regionesDeFotograma(imagen.width(), imagen.height())) {
        if (region.isEmpty())
            continue;
        const ResultadoDeteccion r = detector.detectar(imagen, region);
        if (!r.ok) {
            aviso(nombre + QStringLiteral(": ") + r.error);
            continue;
        }
        for (const QRectF& caja : r.cajas) {
            const QRectF cara = aPixeles(caja, QRectF(region));
            const bool repetida = std::any_of(caras.begin(), caras.end(),
                                              [&](const QRectF& k) { return esDuplicada(k, cara); });
            if (!repetida)
                caras.push_back(cara);
        }
    }
    return caras;
}

namespace {

QString lineasDeFotograma(const QString& carpeta, const QString& nombre, DetectorCaras& detector)
{
    const std::optional<int> numero = numeroDeFotograma(nombre);
    if (!numero)
        return {};
    const QImage imagen = leerFotograma(carpeta + QLatin1Char('/') + nombre);
    if (imagen.isNull())
        return {};
    QString lineas;
    for (const QRectF& c : carasDeImagen(imagen, nombre, detector))
        lineas += QString::asprintf("%d %.0f %.0f %.0f %.0f\n", *numero, c.x(), c.y(), c.width(),
                                    c.height());
    return lineas;
}

} // namespace

int recorrerFotogramas(const QString& carpeta, DetectorCaras& detector,
                       const std::function<void(const QString&)>& entregar)
{
    const QStringList nombres = listarFotogramas(carpeta, QStringLiteral(".jpg"));
    const int n = static_cast<int>(nombres.size());
    QString pendiente;
    for (int i = 1; i <= n; ++i) {
        pendiente += lineasDeFotograma(carpeta, nombres[i - 1], detector);
        if (i % 10 == 0 || i == n) {
            escribirProgreso(carpeta, i, n);
            entregar(pendiente);
            pendiente.clear();
        }
    }
    return n;
}

void detectarCaras(const QStringList& args)
{
    if (args.isEmpty())
        salir(64);
    callarMensajesQt();
    DetectorBlazeFace detector;
    // A missing or damaged model is a needed file that cannot be read: one line and no
    // result, before any frame, never an empty list the player would take for "no faces".
    if (const QString error = detector.preparar(); !error.isEmpty()) {
        aviso(error);
        salir(1);
    }
    recorrerFotogramas(args.at(0), detector, escribirSalida);
    salir(0);
}

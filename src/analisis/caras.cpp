#include "analisis/caras.h"

#include "analisis/blazeface.h"
#include "analisis/en_orden.h"
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

std::vector<QRectF> carasDeImagen(const QImage& imagen, const QString& nombre, DetectorCaras& detector,
                                  QStringList* avisos)
{
    std::vector<QRectF> caras;
    for (const QRect& region : regionesDeFotograma(imagen.width(), imagen.height())) {
        if (region.isEmpty())
            continue;
        const ResultadoDeteccion r = detector.detectar(imagen, region);
        if (!r.ok) {
            const QString linea = nombre + QStringLiteral(": ") + r.error;
            if (avisos)
                *avisos << linea;
            else
                aviso(linea);
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

CarasDeFotograma analizarFotograma(const QString& carpeta, const QString& nombre, DetectorCaras& detector)
{
    CarasDeFotograma f;
    f.numero = numeroDeFotograma(nombre);
    if (!f.numero)
        return f;
    const QImage imagen = leerFotograma(carpeta + QLatin1Char('/') + nombre);
    if (!imagen.isNull())
        f.caras = carasDeImagen(imagen, nombre, detector, &f.avisos);
    return f;
}

QString lineasDeFotograma(const CarasDeFotograma& f)
{
    QString lineas;
    for (const QRectF& c : f.caras)
        lineas += QString::asprintf("%d %.0f %.0f %.0f %.0f\n", *f.numero, c.x(), c.y(), c.width(), c.height());
    return lineas;
}

namespace {

int recorrer(const QString& carpeta, const QStringList& nombres, const std::vector<DetectorCaras*>& detectores,
             const std::function<void(const QString&)>& entregar)
{
    const int n = static_cast<int>(nombres.size());
    const int hilos = static_cast<int>(detectores.size());
    // Codecs may write to descriptor 2 themselves: it is set aside once for every decoding
    // thread, since setting it aside frame by frame from several threads would race.
    ErrorEstandarApartado callar;
    QString pendiente;
    // Two frames ahead of the output per thread keep both cores busy while a slow frame is
    // still being looked at.
    enOrden<CarasDeFotograma>(
        n, hilos, 2 * hilos,
        [&](int i, int hilo) { return analizarFotograma(carpeta, nombres[i], *detectores[static_cast<size_t>(hilo)]); },
        [&](int i, CarasDeFotograma&& f) {
            for (const QString& linea : f.avisos)
                aviso(linea);
            pendiente += lineasDeFotograma(f);
            if ((i + 1) % 10 == 0 || i + 1 == n) {
                escribirProgreso(carpeta, i + 1, n);
                entregar(pendiente);
                pendiente.clear();
            }
            return true;
        });
    return n;
}

} // namespace

int recorrerFotogramas(const QString& carpeta, DetectorCaras& detector,
                       const std::function<void(const QString&)>& entregar)
{
    return recorrer(carpeta, listarFotogramas(carpeta, QStringLiteral(".jpg")), {&detector}, entregar);
}

int recorrerFotogramas(const QString& carpeta, int hilos, const FabricaDetectores& nuevoDetector,
                       const std::function<void(const QString&)>& entregar)
{
    const QStringList nombres = listarFotogramas(carpeta, QStringLiteral(".jpg"));
    const int trabajadores = std::clamp(hilos, 1, std::max(1, static_cast<int>(nombres.size())));
    std::vector<std::unique_ptr<DetectorCaras>> propios;
    std::vector<DetectorCaras*> detectores;
    for (int k = 0; k < trabajadores; ++k) {
        propios.push_back(nuevoDetector(trabajadores));
        detectores.push_back(propios.back().get());
    }
    return recorrer(carpeta, nombres, detectores, entregar);
}

void detectarCaras(const QStringList& args)
{
    if (args.isEmpty())
        salir(64);
    callarMensajesQt();
    auto primero = std::make_unique<DetectorBlazeFace>();
    // A missing or damaged model is a needed file that cannot be read: one line and no
    // result, before any frame, never an empty list the player would take for "no faces".
    if (const QString error = primero->preparar(); !error.isEmpty()) {
        aviso(error);
        salir(1);
    }
    recorrerFotogramas(args.at(0), hilosParaCaras(),
                       [&](int trabajadores) -> std::unique_ptr<DetectorCaras> {
                           repartirNucleos(trabajadores);
                           if (primero)
                               return std::move(primero);
                           return std::make_unique<DetectorBlazeFace>();
                       },
                       escribirSalida);
    salir(0);
}

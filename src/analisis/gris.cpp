#include "analisis/gris.h"

#include "analisis/fotograma.h"

#include <QImage>
#include <QPainter>

namespace {

// Transparent pixels are composited over black, as drawing into a grey raster
// without alpha would.
QImage aGris8(QImage imagen)
{
    if (imagen.hasAlphaChannel()) {
        QImage opaca(imagen.size(), QImage::Format_RGB32);
        opaca.fill(Qt::black);
        QPainter pintor(&opaca);
        pintor.drawImage(0, 0, imagen);
        pintor.end();
        imagen = std::move(opaca);
    }
    return imagen.convertToFormat(QImage::Format_Grayscale8);
}

} // namespace

std::optional<ImagenGris> leerGris(const QString& ruta, int n)
{
    QImage imagen = leerFotograma(ruta);
    if (imagen.isNull() || n < 1)
        return std::nullopt;
    const QImage gris = aGris8(std::move(imagen));
    if (gris.isNull())
        return std::nullopt;

    ImagenGris r;
    r.w = gris.width() / n;
    r.h = gris.height() / n;
    r.g.assign(static_cast<size_t>(r.w) * static_cast<size_t>(r.h), 0.0f);
    const float area = static_cast<float>(n * n);
    // Column sums of each band of n rows first, then n-wide blocks of those sums: one
    // pass over the raster whatever n is.
    std::vector<float> columnas(static_cast<size_t>(r.w) * static_cast<size_t>(n));
    for (int i = 0; i < r.h; ++i) {
        std::fill(columnas.begin(), columnas.end(), 0.0f);
        const int usadas = r.w * n;
        for (int k = 0; k < n; ++k) {
            const uchar* fila = gris.constScanLine(i * n + k);
            for (int x = 0; x < usadas; ++x)
                columnas[static_cast<size_t>(x)] += static_cast<float>(fila[x]);
        }
        float* salida = r.g.data() + static_cast<size_t>(i) * static_cast<size_t>(r.w);
        for (int j = 0; j < r.w; ++j) {
            float suma = 0.0f;
            for (int k = 0; k < n; ++k)
                suma += columnas[static_cast<size_t>(j * n + k)];
            salida[j] = suma / area;
        }
    }
    return r;
}

std::vector<float> trozo(const std::vector<float>& g, int w, int x, int y, int tw, int th)
{
    std::vector<float> p(static_cast<size_t>(tw) * static_cast<size_t>(th));
    for (int i = 0; i < th; ++i) {
        const float* origen = g.data() + static_cast<size_t>(y + i) * static_cast<size_t>(w) + x;
        std::copy(origen, origen + tw, p.begin() + static_cast<ptrdiff_t>(i) * tw);
    }
    return p;
}

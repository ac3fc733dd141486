#include "analisis/seguir.h"

#include "analisis/en_orden.h"
#include "analisis/gris.h"
#include "comun/fotogramas.h"
#include "comun/nombres.h"
#include "comun/salida.h"
#include "comun/texto.h"

#include <QThread>
#include <algorithm>
#include <cmath>
#include <sys/stat.h>

namespace {

// Below this the match is too weak to trust: the zone is reported lost.
constexpr double kUmbralPerdida = 0.45;
// Only strong matches feed the template, so a partial occlusion does not corrupt it.
constexpr double kUmbralMezcla = 0.7;

struct Plantilla {
    std::vector<float> t;
    int tw = 0;
    int th = 0;
};

struct Coincidencia {
    double s = -2.0;
    int x = 0;
    int y = 0;
};

// Zero-mean template and its energy, with the precision the scores are defined in.
struct PlantillaCentrada {
    std::vector<float> t;
    double energia = 0.0;
};

PlantillaCentrada centrar(const Plantilla& p)
{
    float suma = 0.0f;
    for (float v : p.t)
        suma += v;
    const float media = suma / static_cast<float>(p.t.size());
    PlantillaCentrada c;
    c.t.resize(p.t.size());
    for (size_t k = 0; k < p.t.size(); ++k) {
        c.t[k] = p.t[k] - media;
        c.energia += static_cast<double>(c.t[k] * c.t[k]);
    }
    return c;
}

double puntuacion(const ImagenGris& img, const PlantillaCentrada& c, int tw, int th, int x0, int y0)
{
    double sa = 0.0, saa = 0.0, sat = 0.0;
    for (int i = 0; i < th; ++i) {
        const float* fila = img.g.data() + static_cast<size_t>(y0 + i) * static_cast<size_t>(img.w) + x0;
        const float* t = c.t.data() + static_cast<size_t>(i) * static_cast<size_t>(tw);
        for (int j = 0; j < tw; ++j) {
            const double a = fila[j];
            sa += a;
            saa += a * a;
            sat += a * static_cast<double>(t[j]);
        }
    }
    const double nPix = static_cast<double>(tw) * th;
    const double v = saa - sa * sa / nPix;
    if (v < 0.000001 || c.energia < 0.000001)
        return 0.0;
    return sat / std::sqrt(c.energia * v);
}

// Row by row from the top, left to right; a later candidate wins only when strictly better.
Coincidencia buscar(const ImagenGris& img, const Plantilla& p, int px, int py, int r)
{
    Coincidencia mejor{-2.0, px, py};
    if (img.w < p.tw || img.h < p.th)
        return mejor;
    const PlantillaCentrada c = centrar(p);
    const int y1 = std::min(py + r, img.h - p.th);
    const int x1 = std::min(px + r, img.w - p.tw);
    for (int y = std::max(0, py - r); y <= y1; ++y)
        for (int x = std::max(0, px - r); x <= x1; ++x) {
            const double s = puntuacion(img, c, p.tw, p.th, x, y);
            if (s > mejor.s)
                mejor = {s, x, y};
        }
    return mejor;
}

void mezclar(Plantilla& p, const std::vector<float>& nuevo)
{
    for (size_t k = 0; k < p.t.size(); ++k)
        p.t[k] = p.t[k] * 0.85f + nuevo[k] * 0.15f;
}

struct Zona {
    int x, y, ancho, alto;
};

std::optional<Zona> leerZona(const QStringList& args)
{
    if (args.size() < 5)
        return std::nullopt;
    int v[4];
    for (int k = 0; k < 4; ++k) {
        const auto e = enteroDecimal(args[k + 1]);
        if (!e)
            return std::nullopt;
        v[k] = *e;
    }
    return Zona{v[0], v[1], v[2], v[3]};
}

bool archivoNormal(const QString& ruta)
{
    struct stat s {};
    return ::stat(bytesDeTexto(ruta).constData(), &s) == 0 && S_ISREG(s.st_mode);
}

// Decoding threads: every core (at most four, the player is decoding video beside us), but
// one, reading frame after frame as before, for frames over 10 megapixels, whose decoded
// copies would otherwise add up to gigabytes ahead of the tracker (an 8K frame is 141 MB
// before it is reduced), and when a frame is not a plain file: a pipe the player writes
// into may never be written once the zone is lost, and a thread waiting on it ahead would
// keep the run from ending.
int hilosParaDecodificar(int ancho, int alto, const QStringList& rutas)
{
    if (qint64(ancho) * alto > 10'000'000 || !std::all_of(rutas.begin(), rutas.end(), archivoNormal))
        return 1;
    return std::clamp(QThread::idealThreadCount(), 1, 4);
}

} // namespace

GeometriaZona geometriaZona(int ancho, int alto)
{
    GeometriaZona g;
    g.f = std::max(1, static_cast<int>(std::ceil(std::max(ancho, alto) / 32.0)));
    g.tw = std::max(4, ancho / g.f);
    g.th = std::max(4, alto / g.f);
    g.r = std::max(6, std::max(g.tw, g.th) / 2);
    return g;
}

void seguirZona(const QStringList& args)
{
    const auto zona = leerZona(args);
    if (!zona)
        salir(64);
    callarMensajesQt();
    const QString carpeta = args[0];
    QStringList nombres = listarFotogramas(carpeta, QStringLiteral(".png"));
    if (args.size() > 5 && args[5] == QLatin1String("atras"))
        std::reverse(nombres.begin(), nombres.end());
    if (nombres.size() < 2)
        salir(0);
    const auto ruta = [&](const QString& nombre) { return carpeta + QLatin1Char('/') + nombre; };

    const GeometriaZona geo = geometriaZona(zona->ancho, zona->alto);
    const int f = geo.f;
    const auto primero = leerGris(ruta(nombres[0]), f);
    if (!primero)
        salir(1);
    Plantilla plantilla;
    plantilla.tw = geo.tw;
    plantilla.th = geo.th;
    // A first frame smaller than the zone leaves nothing to clamp into.
    if (primero->w < plantilla.tw || primero->h < plantilla.th)
        salir(1);
    int x = std::min(primero->w - plantilla.tw, std::max(0, zona->x / f));
    int y = std::min(primero->h - plantilla.th, std::max(0, zona->y / f));
    plantilla.t = trozo(primero->g, primero->w, x, y, plantilla.tw, plantilla.th);
    const int r = geo.r;

    double vx = 0.0, vy = 0.0;
    QString buffer;
    const int n = static_cast<int>(nombres.size()) - 1;
    // The frames after the first are decoded ahead on every core while this thread
    // follows the zone through them in order; codecs' own complaints are set aside once for
    // all the decoding threads (frame by frame from several threads would race).
    ErrorEstandarApartado callar;
    QStringList rutas;
    for (const QString& nombre : nombres)
        rutas << ruta(nombre);
    const int hilos = hilosParaDecodificar(primero->w * f, primero->h * f, rutas);
    enOrden<std::optional<ImagenGris>>(
        n, hilos, 2 * hilos, [&](int k, int) { return leerGris(ruta(nombres[k + 1]), f); },
        [&](int k, std::optional<ImagenGris>&& img) {
            const int L = k + 1;
            const QString& nombre = nombres[L];
            if (!img)
                return false;
            const int px = static_cast<int>(std::round(x + vx));
            const int py = static_cast<int>(std::round(y + vy));
            const Coincidencia m = buscar(*img, plantilla, px, py, r);
            const int xo = x, yo = y;
            x = m.x;
            y = m.y;
            const int numero = numeroDeFotograma(nombre).value_or(L);
            if (m.s < kUmbralPerdida) {
                buffer += QStringLiteral("perdida %1\n").arg(numero);
                return false;
            }
            if (m.s > kUmbralMezcla)
                mezclar(plantilla, trozo(img->g, img->w, x, y, plantilla.tw, plantilla.th));
            buffer += QString::asprintf("%d %d %d %d %d %.2f\n", numero, x * f, y * f, plantilla.tw * f,
                                        plantilla.th * f, m.s);
            if (L % 10 == 0 || L == n) {
                escribirProgreso(carpeta, L, n);
                escribirSalida(buffer);
                buffer.clear();
            }
            vx = 0.6 * vx + 0.4 * (x - xo);
            vy = 0.6 * vy + 0.4 * (y - yo);
            return true;
        });
    salir(0, buffer);
}

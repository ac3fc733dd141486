#include "dialogos/fondo_imagen.h"

#include "comun/salida.h"
#include "comun/texto.h"
#include "estilo/etiqueta.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

namespace {

// Beyond this (512 MB) the surface is not even attempted: it is already far past
// any video area, and a hostile size must not push the machine into swapping.
constexpr qint64 kMaxBytesLienzo = qint64(1) << 29;
// Decoding limit for the photo, in MB: large camera photos fit, decompression bombs don't.
constexpr int kLimiteDecodificarMB = 1024;

const QColor kSombra(0, 0, 0, qRound(0.55 * 255));
constexpr int kDesplazamientoSombra = 2;

int suelo(double v)
{
    return static_cast<int>(std::floor(v));
}

// Text with its shadow, the top of its line box at `arriba`.
void textoConSombra(QPainter& p, const QFont& fuente, const QColor& color, int x, int arriba,
                    const QString& texto)
{
    p.setFont(fuente);
    const int base = arriba + QFontMetrics(fuente).ascent();
    p.setPen(kSombra);
    p.drawText(x + kDesplazamientoSombra, base + kDesplazamientoSombra, texto);
    p.setPen(color);
    p.drawText(x, base, texto);
}

// One axis of the cover fit: the source span [desde, hasta) that reaches the canvas and
// where its scaled copy goes (integer start and length, reaching past both edges).
struct Tramo {
    int desde, hasta, destino, largo;
};

Tramo tramoVisible(int lienzo, int fuente, double s)
{
    const double origen = (lienzo - s * fuente) / 2.0; // where source pixel 0 lands (≤ 0)
    Tramo t;
    t.desde = std::clamp(suelo(-origen / s), 0, fuente - 1);
    t.hasta = std::clamp(static_cast<int>(std::ceil((lienzo - origen) / s)), t.desde + 1, fuente);
    t.destino = suelo(origen + t.desde * s);
    t.largo = static_cast<int>(std::ceil(origen + t.hasta * s)) - t.destino;
    return t;
}

// Scaled to cover the whole canvas, centred, the overflow cut off. Only the part that
// shows is scaled: a photo of extreme proportions must not become a gigantic
// intermediate. Qt's smooth (area-averaging) filter gives a cleaner downscale than
// letting the painter interpolate, and integer placement keeps the edges fully opaque.
void dibujarCubriendo(QPainter& p, const QImage& foto, int w, int h)
{
    const double s = std::max(double(w) / foto.width(), double(h) / foto.height());
    const Tramo x = tramoVisible(w, foto.width(), s);
    const Tramo y = tramoVisible(h, foto.height(), s);
    const QImage parte = foto.copy(x.desde, y.desde, x.hasta - x.desde, y.hasta - y.desde);
    const QSize tam(x.largo, y.largo);
    p.drawImage(QPoint(x.destino, y.destino),
                parte.size() == tam ? parte : parte.scaled(tam, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

void dibujarTextos(QPainter& p, int w, int h, const QString& version, int f)
{
    const TamanosTexto t = tamanosTexto(f);
    const int x = suelo(w * 0.06);
    const int y = suelo(h * 0.74);
    if (t.titulo > 0)
        textoConSombra(p, fuenteSistema(t.titulo, QFont::Bold), Qt::white, x, y,
                       QStringLiteral("Arrastra aquí tus vídeos"));
    if (t.subtitulo > 0)
        textoConSombra(p, fuenteSistema(t.subtitulo), QColor(255, 255, 255, qRound(0.9 * 255)),
                       x, y + t.titulo + 10,
                       QStringLiteral("o una carpeta entera · también valen varios a la vez"));
    if (t.producto > 0) {
        const QString linea = QStringLiteral("ZorvPlayer ") + version + QStringLiteral(" · ZORV");
        const QFont fuente = fuenteSistema(t.producto);
        const QFontMetrics m(fuente);
        const int ancho = m.horizontalAdvance(linea);
        textoConSombra(p, fuente, QColor(127, 214, 232), w - ancho - suelo(w * 0.03),
                       h - m.height() - suelo(h * 0.04), linea);
    }
}

bool escribirCrudo(const QImage& img, const QString& ruta)
{
    QSaveFile f(ruta);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const qint64 fila = qint64(img.width()) * 4;
    for (int y = 0; y < img.height(); ++y)
        if (f.write(reinterpret_cast<const char*>(img.constScanLine(y)), fila) != fila) {
            f.cancelWriting();
            return false;
        }
    return f.commit();
}

std::optional<int> positivo(const QString& texto)
{
    const auto v = enteroDecimal(texto);
    if (v && *v > 0)
        return v;
    return std::nullopt;
}

} // namespace

TamanosTexto tamanosTexto(int f)
{
    return {suelo(std::min(f * 0.065, 46.0)), suelo(std::min(f * 0.034, 24.0)),
            suelo(std::min(f * 0.03, 20.0))};
}

QImage dibujarFondo(const QImage& foto, int w, int h, const QString& version, int f)
{
    if (w <= 0 || h <= 0 || qint64(w) * h * 4 > kMaxBytesLienzo)
        return {};
    QImage lienzo(w, h, QImage::Format_ARGB32_Premultiplied);
    if (lienzo.isNull())
        return {};
    lienzo.fill(Qt::transparent);
    QPainter p(&lienzo);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    dibujarCubriendo(p, foto, w, h);
    dibujarTextos(p, w, h, version, f);
    p.end();
    return lienzo;
}

void pintarFondo(const QStringList& args)
{
    if (args.size() < 5) {
        aviso(QStringLiteral("uso: zorv-ventanas fondo IMAGEN SALIDA ANCHO ALTO VERSIÓN [ALTURA_REFERENCIA]"));
        salir(64);
    }
    const auto w = positivo(args[2]);
    const auto h = positivo(args[3]);
    if (!w || !h) {
        aviso(QStringLiteral("el ancho y el alto deben ser enteros mayores que 0"));
        salir(64);
    }
    const auto fArg = args.size() > 5 ? enteroDecimal(args[5]) : std::nullopt;
    const int f = fArg.value_or(*h);

    // Nothing is shown: the offscreen platform gives fonts and painting without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own chatter (no runtime folder, font fallbacks) would be the only thing on
    // standard error of a successful run.
    callarMensajesQt();
    if (!QCoreApplication::instance())
        new QGuiApplication(argcProceso, argvProceso);

    QImageReader lector(args[0]);
    lector.setAllocationLimit(kLimiteDecodificarMB);
    const QImage foto = lector.read();
    if (foto.isNull() || foto.width() <= 0 || foto.height() <= 0) {
        aviso(QStringLiteral("no se pudo leer la imagen de fondo: ") + args[0]);
        salir(64);
    }

    const QImage lienzo = dibujarFondo(foto, *w, *h, args[4], f);
    if (lienzo.isNull()) {
        aviso(QStringLiteral("no se pudo crear la imagen de %1 × %2").arg(*w).arg(*h));
        salir(1);
    }
    if (!escribirCrudo(lienzo, args[1])) {
        aviso(QStringLiteral("no se pudo escribir ") + args[1]);
        salir(1);
    }
    salir(0);
}

#include "dialogos/fondo_imagen.h"

#include "comun/salida.h"
#include "comun/texto.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

namespace {

const QColor kSombra(0, 0, 0, 140);  // black at 0.55

// Draws one line with its line box's top-left corner at `arriba`, over the shared shadow
// (2 px right and down, no blur). The shadow takes the text's own opacity as well, the way
// a shadow of translucent text does.
void textoConSombra(QPainter& p, const QFont& fuente, const QColor& color, QPointF arriba,
                    const QString& texto)
{
    p.setFont(fuente);
    const QPointF base = arriba + QPointF(0, QFontMetricsF(fuente).ascent());
    QColor sombra = kSombra;
    sombra.setAlphaF(kSombra.alphaF() * color.alphaF());
    p.setPen(sombra);
    p.drawText(base + QPointF(2, 2), texto);
    p.setPen(color);
    p.drawText(base, texto);
}

QFont fuenteDe(int tamano, bool negrita)
{
    QFont f;
    f.setPixelSize(tamano);
    f.setBold(negrita);
    return f;
}

// Scaled to cover the whole canvas, centred, the overflow cut off. A photograph shrunk to
// less than half is first reduced with an area-averaging filter, which the painter's
// bilinear sampling is not: it would skip pixels and alias.
void pintarFoto(QPainter& p, const QImage& foto, int ancho, int alto)
{
    const double s = std::max(double(ancho) / foto.width(), double(alto) / foto.height());
    const double w = s * foto.width();
    const double h = s * foto.height();
    const QRectF destino((ancho - w) / 2.0, (alto - h) / 2.0, w, h);
    if (s >= 0.5) {
        p.drawImage(destino, foto);
        return;
    }
    const QImage reducida = foto.scaled(std::max(ancho, int(std::lround(w))),
                                        std::max(alto, int(std::lround(h))), Qt::IgnoreAspectRatio,
                                        Qt::SmoothTransformation);
    p.drawImage(destino, reducida);
}

void pintarTextos(QPainter& p, int ancho, int alto, const QString& version, int referencia)
{
    const TamanosFondo t = tamanosFondo(referencia);
    const double x = std::floor(ancho * 0.06);
    const double y = std::floor(alto * 0.74);
    // A size below one pixel cannot be drawn (a tiny reference height): that line is left out.
    if (t.titulo >= 1)
        textoConSombra(p, fuenteDe(t.titulo, true), Qt::white, {x, y},
                       QStringLiteral("Arrastra aquí tus vídeos"));
    if (t.subtitulo >= 1)
        textoConSombra(p, fuenteDe(t.subtitulo, false), QColor(255, 255, 255, 230),
                       {x, y + t.titulo + 10},
                       QStringLiteral("o una carpeta entera · también valen varios a la vez"));
    if (t.producto >= 1) {
        const QFont f = fuenteDe(t.producto, false);
        const QString linea = QStringLiteral("ZorvPlayer ") + version + QStringLiteral(" · ZORV");
        const QFontMetricsF m(f);
        const QPointF esquina(ancho - m.horizontalAdvance(linea) - std::floor(ancho * 0.03),
                              alto - m.height() - std::floor(alto * 0.04));
        textoConSombra(p, f, QColor(127, 214, 232), esquina, linea);
    }
}

// Rows written one by one so the file never carries the padding a scan line may have.
bool escribirCrudo(const QImage& img, const QString& ruta)
{
    QSaveFile f(ruta);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const qint64 fila = qint64(img.width()) * 4;
    for (int y = 0; y < img.height(); ++y)
        if (f.write(reinterpret_cast<const char*>(img.constScanLine(y)), fila) != fila)
            return false;
    return f.commit();
}

std::optional<int> positivo(const QString& texto)
{
    const std::optional<int> n = enteroDecimal(texto);
    return n && *n > 0 ? n : std::nullopt;
}

}  // namespace

TamanosFondo tamanosFondo(int referencia)
{
    const auto tamano = [referencia](double factor, double tope) {
        return int(std::floor(std::min(referencia * factor, tope)));
    };
    return {tamano(0.065, 46), tamano(0.034, 24), tamano(0.03, 20)};
}

QImage dibujarFondo(const QImage& foto, int ancho, int alto, const QString& version, int referencia)
{
    QImage lienzo(ancho, alto, QImage::Format_ARGB32_Premultiplied);
    if (lienzo.isNull())
        return lienzo;
    lienzo.fill(Qt::transparent);
    QPainter p(&lienzo);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::TextAntialiasing);
    pintarFoto(p, foto, ancho, alto);
    pintarTextos(p, ancho, alto, version, referencia);
    p.end();
    return lienzo;
}

void pintarFondo(const QStringList& args)
{
    if (args.size() < 5)
        salir(64);
    const std::optional<int> ancho = positivo(args[2]);
    const std::optional<int> alto = positivo(args[3]);
    if (!ancho || !alto)
        salir(64);
    const int referencia = args.size() > 5 ? enteroDecimal(args[5]).value_or(*alto) : *alto;

    // Nothing is shown: the offscreen platform gives fonts and painting without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char nombre[] = "zorv-ventanas";
    static char* argv[] = {nombre, nullptr};
    QGuiApplication app(argc, argv);

    QImageReader lector(args[0]);
    lector.setAutoTransform(true);
    const QImage foto = lector.read();
    if (foto.isNull() || foto.width() < 1 || foto.height() < 1)
        salir(64);
    const QImage lienzo = dibujarFondo(foto, *ancho, *alto, args[4], referencia);
    if (lienzo.isNull() || !escribirCrudo(lienzo, args[1]))
        salir(1);
    salir(0);
}

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
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <sys/mman.h>
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

// The scale that makes the photo cover the canvas, and the part of it that shows.
struct Cobertura {
    double s = 1.0;
    Tramo x{}, y{};
    QRect visible() const { return QRect(x.desde, y.desde, x.hasta - x.desde, y.hasta - y.desde); }
};

Cobertura cobertura(QSize foto, int w, int h)
{
    Cobertura c;
    c.s = std::max(double(w) / foto.width(), double(h) / foto.height());
    c.x = tramoVisible(w, foto.width(), c.s);
    c.y = tramoVisible(h, foto.height(), c.s);
    return c;
}

// A picture of tens of megabytes in memory the kernel backs with 2 MB pages where it can:
// on a virtual machine every first touch of a 4 KB page traps to the host, and filling
// a 4K canvas page by page cost more than drawing it. A null image when there is no memory.
QImage imagenGrande(QSize tam, QImage::Format formato)
{
    constexpr size_t kPagina = size_t(2) << 20;
    const qsizetype fila = (qsizetype(tam.width()) * QImage::toPixelFormat(formato).bitsPerPixel() + 31) / 32 * 4;
    const size_t bytes = size_t(fila) * size_t(tam.height());
    if (tam.isEmpty() || bytes < kPagina)
        return QImage(tam, formato);
    const size_t reservado = bytes + kPagina;
    void* p = ::mmap(nullptr, reservado, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return {};
    auto* alineado = reinterpret_cast<uchar*>((reinterpret_cast<uintptr_t>(p) + kPagina - 1) & ~(kPagina - 1));
    ::madvise(alineado, bytes, MADV_HUGEPAGE);
    struct Reserva {
        void* p;
        size_t n;
    };
    return QImage(alineado, tam.width(), tam.height(), fila, formato,
                  [](void* r) {
                      auto* reserva = static_cast<Reserva*>(r);
                      ::munmap(reserva->p, reserva->n);
                      delete reserva;
                  },
                  new Reserva{p, reservado});
}

// The part of the photo that shows: only those rows and columns are decoded where the
// codec can (JPEG), into memory of its own. `c` is filled from the photo's size.
QImage leerParteVisible(const QString& ruta, int w, int h, Cobertura& c)
{
    QImageReader lector(ruta);
    lector.setAllocationLimit(kLimiteDecodificarMB);
    const QSize tam = lector.size();
    const QImage::Format formato = lector.imageFormat();
    if (tam.isEmpty() || formato == QImage::Format_Invalid || !lector.supportsOption(QImageIOHandler::ClipRect)) {
        QImage foto = lector.read();
        if (foto.isNull() || foto.width() <= 0 || foto.height() <= 0)
            return {};
        c = cobertura(foto.size(), w, h);
        return foto;
    }
    // A photo too big to decode whole stays unreadable even when little of it shows.
    if (qint64(tam.width()) * tam.height() * 4 > (qint64(kLimiteDecodificarMB) << 20))
        return {};
    c = cobertura(tam, w, h);
    lector.setClipRect(c.visible());
    QImage parte = imagenGrande(c.visible().size(), formato);
    if (parte.isNull() || !lector.read(&parte) || parte.size() != c.visible().size())
        return {};
    // Read as it is, the part now starts at the photo's origin.
    c.x.hasta -= c.x.desde;
    c.x.desde = 0;
    c.y.hasta -= c.y.desde;
    c.y.desde = 0;
    return parte;
}

// 8-bit colour the resampler takes, premultiplied like the canvas: what painting the photo
// onto a transparent canvas would have given.
QImage comoLienzo(const QImage& foto)
{
    if (foto.format() == QImage::Format_RGB32 || foto.format() == QImage::Format_ARGB32_Premultiplied)
        return foto;
    return foto.convertToFormat(foto.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                       : QImage::Format_RGB32);
}

// The canvas, covered by the photo's visible part scaled with OpenCV (both cores, SIMD):
// area averaging when shrinking, bilinear when enlarging, as Qt's smooth scaling (which
// drew it before) does. Shrinking by less than 5 % is bilinear too: there it differs from
// Qt's by at most 10 levels of 255 on the sharpest photo measured (mean 0.27; area
// averaging: 6, mean 0.34), and area averaging at a ratio that is not a whole number costs
// eight times as much (a 4000×3000 photo at 3840×2160: 91 ms of CPU against 11). Integer placement keeps the edges fully
// opaque; the scaled part reaches past the canvas by a pixel or so, so it is made whole
// and the canvas is the window of it that shows.
QImage cubrir(const QImage& foto, const Cobertura& c, int w, int h)
{
    const QImage fuente = comoLienzo(foto);
    QImage escalada = imagenGrande(QSize(c.x.largo, c.y.largo), QImage::Format_ARGB32_Premultiplied);
    if (fuente.isNull() || escalada.isNull())
        return {};
    const QRect v = c.visible();
    const cv::Mat origen = cv::Mat(fuente.height(), fuente.width(), CV_8UC4, const_cast<uchar*>(fuente.constBits()),
                                   size_t(fuente.bytesPerLine()))(cv::Rect(v.x(), v.y(), v.width(), v.height()));
    cv::Mat destino(escalada.height(), escalada.width(), CV_8UC4, escalada.bits(), size_t(escalada.bytesPerLine()));
    cv::resize(origen, destino, destino.size(), 0, 0, c.s < 0.95 ? cv::INTER_AREA : cv::INTER_LINEAR);
    const qsizetype fila = escalada.bytesPerLine();
    uchar* esquina = escalada.bits() + qsizetype(-c.y.destino) * fila + qsizetype(-c.x.destino) * 4;
    return QImage(esquina, w, h, fila, QImage::Format_ARGB32_Premultiplied,
                  [](void* d) { delete static_cast<QImage*>(d); }, new QImage(escalada));
}

bool escribirCrudo(const QImage& img, const QString& ruta)
{
    QSaveFile f(ruta);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const qint64 fila = qint64(img.width()) * 4;
    // Rows back to back in memory go out in one write.
    const bool seguidas = img.bytesPerLine() == fila;
    for (int y = 0; y < img.height(); y += seguidas ? img.height() : 1) {
        const qint64 n = seguidas ? fila * img.height() : fila;
        if (f.write(reinterpret_cast<const char*>(img.constScanLine(y)), n) != n) {
            f.cancelWriting();
            return false;
        }
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

// The picture at w × h from the photo's part that shows (`c`, in the photo's pixels).
QImage dibujarFondo(const QImage& foto, const Cobertura& c, int w, int h, const QString& version, int f)
{
    if (w <= 0 || h <= 0 || qint64(w) * h * 4 > kMaxBytesLienzo)
        return {};
    QImage lienzo = cubrir(foto, c, w, h);
    if (lienzo.isNull())
        return {};
    QPainter p(&lienzo);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    dibujarTextos(p, w, h, version, f);
    p.end();
    return lienzo;
}

} // namespace

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

TamanosTexto tamanosTexto(int f)
{
    return {suelo(std::min(f * 0.065, 46.0)), suelo(std::min(f * 0.034, 24.0)),
            suelo(std::min(f * 0.03, 20.0))};
}

QImage dibujarFondo(const QImage& foto, int w, int h, const QString& version, int f)
{
    return dibujarFondo(foto, cobertura(foto.size(), w, h), w, h, version, f);
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

    Cobertura c;
    const QImage foto = leerParteVisible(args[0], *w, *h, c);
    if (foto.isNull()) {
        aviso(QStringLiteral("no se pudo leer la imagen de fondo: ") + args[0]);
        salir(64);
    }

    const QImage lienzo = dibujarFondo(foto, c, *w, *h, args[4], f);
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

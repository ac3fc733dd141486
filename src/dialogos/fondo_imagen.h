#pragma once
// The player's idle background: a photo filling its video area, the invitation to drop
// videos and the product line, drawn off screen into a raw premultiplied BGRA file.
#include <QImage>
#include <QString>
#include <QStringList>

class QPainter;

// Pixel sizes of the title, the subtitle and the product line for reference height f.
// A size below 1 means the text is too small to draw and is left out.
struct TamanosTexto {
    int titulo = 0;
    int subtitulo = 0;
    int producto = 0;
};
TamanosTexto tamanosTexto(int f);

// One axis of the cover fit: the source span [desde, hasta) that reaches a canvas side of
// `lienzo` pixels when the photo's side of `fuente` is scaled by s, and where its scaled
// copy goes (integer start and length, reaching past both edges).
struct Tramo {
    int desde, hasta, destino, largo;
};
Tramo tramoVisible(int lienzo, int fuente, double s);

// The title, the subtitle and the product line over a w × h canvas, with their shadow.
void dibujarTextos(QPainter& p, int w, int h, const QString& version, int f);

// The picture at w × h (premultiplied ARGB32); a null image when the surface cannot be
// allocated.
QImage dibujarFondo(const QImage& foto, int w, int h, const QString& version, int f);

// Arguments: image, output, W, H, version [, F]. Never returns.
[[noreturn]] void pintarFondo(const QStringList& args);

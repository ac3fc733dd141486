#pragma once
// The player's idle background: a photograph filling its video area with an invitation to
// drop videos, rendered here because the player cannot lay out text itself.
#include <QImage>
#include <QString>
#include <QStringList>

// Font sizes in pixels for a reference height F: title, subtitle and product line.
struct TamanosFondo {
    int titulo;
    int subtitulo;
    int producto;
};
TamanosFondo tamanosFondo(int referencia);

// The picture at W × H in premultiplied ARGB; a null image when the surface cannot be made.
QImage dibujarFondo(const QImage& foto, int ancho, int alto, const QString& version, int referencia);

// Mode "fondo": image, output file, W, H, version, optional F. Never returns.
[[noreturn]] void pintarFondo(const QStringList& args);

#pragma once
// Frames (1080p unless asked otherwise) with a real face photograph (from matplotlib's Debian data) pasted at known
// places and sizes, so the face detector can be scored against the truth.
#include <QImage>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <vector>

QString rutaFotoRostro();

struct FotogramaConCaras {
    QImage imagen;
    std::vector<QRectF> caras; // where each pasted face is, pixels, origin top-left
};

struct PedidoFotograma {
    uint32_t semilla = 1;
    std::vector<int> anchos;   // face widths in pixels, one face each
    int calidadJPEG = -1;      // re-encoded at this quality when >= 0
    int ancho = 1920, alto = 1080;
};

// Null image when the photograph is missing.
FotogramaConCaras fotogramaConCaras(const PedidoFotograma& p);

struct Puntuacion {
    int aciertos = 0, caras = 0, detectadas = 0;
    double recuerdo() const { return caras ? double(aciertos) / caras : 1.0; }
    double precision() const { return detectadas ? double(aciertos) / detectadas : 1.0; }
};

// A detection matches a face when their intersection over union reaches 0.3 (each face
// and each detection matched once).
void puntuar(const std::vector<QRectF>& verdad, const std::vector<QRectF>& halladas, Puntuacion& p);

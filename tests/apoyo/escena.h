#pragma once
// Synthetic footage: a textured target moving over a textured background, so the
// tracker has something real to correlate against.
#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QString>
#include <cstdint>

// Deterministic value noise, smooth at the scale of `escala` pixels.
QImage texturaRuido(int ancho, int alto, uint32_t semilla, int escala);

struct Escena {
    QImage fondo;
    QImage objetivo;
};

Escena escenaDePrueba(int ancho, int alto, int anchoObjetivo, int altoObjetivo, uint32_t semilla);

// The background with the target's top-left corner at `pos`.
QImage fotograma(const Escena& e, QPoint pos);

// A frame of `tam` (8K and beyond) that is flat grey but for the scene in its top-left
// corner with the target at `pos`: big to decode, cheap to make and to compress.
QImage fotogramaGrande(const Escena& e, QPoint pos, QSize tam);

// The image as the bytes of a `formato` file ("JPEG", "PNG") at `calidad` (-1: the codec's
// default), made in memory; empty when it cannot be encoded.
QByteArray codificada(const QImage& imagen, const char* formato, int calidad = -1);

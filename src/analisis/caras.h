#pragma once
// Mode "caras": finds faces in a folder of JPEG frames for the anonymised copy and prints
// one line per face ("número x y ancho alto", pixels, origin top-left).
#include "analisis/detector.h"

#include <QRectF>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

[[noreturn]] void detectarCaras(const QStringList& args);

// The whole picture, then the four corner crops of 58 % of each side.
std::array<QRect, 5> regionesDeFotograma(int ancho, int alto);

// True when the two rectangles overlap by more than 0.3 of the smaller one's area;
// rectangles that only touch never count.
bool esDuplicada(const QRectF& a, const QRectF& b);

// A detector box (normalised, origin lower-left) in pixels of the frame, origin top-left.
QRectF aPixeles(const QRectF& caja, const QRectF& region);

// Faces kept for one decoded frame, in the order they were kept. `nombre` labels the
// standard-error line written when the detector fails on a region: into `avisos` when given,
// else at once.
std::vector<QRectF> carasDeImagen(const QImage& imagen, const QString& nombre, DetectorCaras& detector,
                                  QStringList* avisos = nullptr);

// One frame of the folder as the mode reports it.
struct CarasDeFotograma {
    std::optional<int> numero; // none when the name is not a frame number: nothing to print
    std::vector<QRectF> caras;
    QStringList avisos; // standard-error lines, written in frame order
};

CarasDeFotograma analizarFotograma(const QString& carpeta, const QString& nombre, DetectorCaras& detector);

// The output lines of one frame.
QString lineasDeFotograma(const CarasDeFotograma& f);

// Walks the folder's frames; every tenth frame and at the end it replaces the progress
// file and hands the lines gathered so far to `entregar`. Returns the number of frames listed.
int recorrerFotogramas(const QString& carpeta, DetectorCaras& detector,
                       const std::function<void(const QString&)>& entregar);

// The same walk with frames analysed side by side on up to `hilos` threads, one detector
// each, made by `nuevoDetector(trabajadores)` (told how many work side by side, so it can
// share the cores out). Output, progress and standard-error lines come as a single thread
// gives them.
using FabricaDetectores = std::function<std::unique_ptr<DetectorCaras>(int trabajadores)>;
int recorrerFotogramas(const QString& carpeta, int hilos, const FabricaDetectores& nuevoDetector,
                       const std::function<void(const QString&)>& entregar);

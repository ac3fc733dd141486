#pragma once
// Merging the many overlapping boxes a single-shot detector gives for one face.
#include <QRectF>
#include <vector>

struct Candidata {
    QRectF caja; // any consistent pixel frame
    float puntuacion = 0.0f;
};

// The area two rectangles share; 0 when they only touch along an edge or a corner.
double areaComun(const QRectF& a, const QRectF& b);

double interseccionSobreUnion(const QRectF& a, const QRectF& b);

// Weighted non-maximum suppression: the best remaining box gathers every box that overlaps
// it by more than `umbral` (intersection over union) and the group becomes one box, the
// score-weighted mean of its members, with the best score. Averaging rather than keeping
// the single best box steadies the rectangle, which matters when tiles see a face cut
// differently. Result ordered by score, best first.
std::vector<Candidata> suprimirPonderado(std::vector<Candidata> candidatas, double umbral);

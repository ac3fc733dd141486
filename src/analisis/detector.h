#pragma once
// What the face analysis needs from a detector, so the frame logic can be exercised with a
// scripted detector and the neural one can change without touching it.
#include <QImage>
#include <QRectF>
#include <QString>
#include <vector>

struct ResultadoDeteccion {
    bool ok = true;
    QString error;             // description for the standard-error line when !ok
    std::vector<QRectF> cajas; // normalised to the region, origin at its lower-left corner
};

class DetectorCaras {
public:
    virtual ~DetectorCaras() = default;
    // Gets ready to run (loads its model); the reason it cannot run at all, or an empty
    // text. A detector that cannot run must stop the job: "no faces" from it would be a lie.
    virtual QString preparar() { return {}; }
    // Looks for faces inside `region` (pixels of `imagen`, origin top-left). The boxes come
    // back normalised to that region with the origin at its lower-left corner, the
    // convention the player's results were first defined in.
    virtual ResultadoDeteccion detectar(const QImage& imagen, const QRect& region) = 0;
};

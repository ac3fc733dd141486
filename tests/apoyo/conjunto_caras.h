#pragma once
// The face measurement set: 1080p frames made from real photographs of many people (listed
// with their licences in bench/caras_fuentes.tsv), pasted into real background photographs
// and degraded like surveillance footage. Two parts that share no person and no background:
// "ajuste" to tune the detector on, "reserva" kept aside to check it.
#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <vector>

// Where bench/caras_fuentes.sh put the pictures at configure time.
QString carpetaFuentesCaras();

struct FuenteCara {
    QImage foto;              // the whole picture, loaded once per picture
    QRectF caja;              // brows to chin, cheek to cheek, pixels of the picture
    std::vector<QRectF> otras; // the other labelled faces of the same picture
    QString pose;             // "frontal", "tres-cuartos", "abajo", "ladeada"
    QString persona;
};

struct FuentesCaras {
    std::vector<FuenteCara> caras;
    std::vector<QImage> fondos;
    int personas = 0;
};

// Reads the list and the pictures of one part; false with `error` set when any is missing.
bool cargarFuentesCaras(const QString& parte, FuentesCaras& f, QString& error);

struct CaraMedida {
    QRectF caja;      // the whole face, hairline to chin and ear to ear, frame pixels
    QRectF nucleo;    // the same box unrolled, about the same centre: what an upright box can match
    double ancho = 0; // width of the face from cheek to cheek, as pasted (the size band)
    QString pose;     // the source's pose, or "desde arriba" when seen from a high camera
    bool girada = false;  // rolled 15-40 degrees
    bool tapada = false;  // a cap or a scarf over a third of it
};

struct FotogramaMedido {
    QByteArray jpeg; // the frame as the player would export it
    QImage imagen;   // and decoded
    QString degradacion; // "limpio", "noche", "jpeg", "escalado", "ruido", "movimiento", "luz lateral"
    std::vector<CaraMedida> caras;
};

// Frame `indice` of a part: every tenth frame holds no face; the degradation cycles through
// the kinds above, and the five faces of a frame take one size band each (20-24, 24-40,
// 40-80, 80-160, 160-300 px), so every group is filled evenly. Same index, same frame.
FotogramaMedido fotogramaMedido(const FuentesCaras& f, int indice, uint32_t semilla = 1);

// The size band of a face width, as the benchmark names it.
QString bandaDeAncho(double ancho);

// For each face, the index of the box matched to it or -1. Each face takes the unmatched box
// that overlaps it most, with an intersection over union of at least 0.3 with the face or,
// for a rolled face, with the face turned upright about its centre (an upright box cannot
// fill the slanted outline).
std::vector<int> emparejarCaras(const std::vector<CaraMedida>& caras, const std::vector<QRectF>& cajas);

// Intersection over union of two rectangles; 0 when they do not overlap.
double iou(const QRectF& a, const QRectF& b);

// Share of the face's area that the box covers.
double cobertura(const QRectF& cara, const QRectF& caja);

#pragma once
// The default face detector: MediaPipe's BlazeFace "back" model (256×256 input, meant for
// small and distant faces) run with OpenCV's DNN module over tiles of the region.
#include "analisis/detector.h"

#include <QString>
#include <memory>
#include <vector>

inline constexpr const char* kNombreModeloCaras = "face_detection_back_256x256_barracuda.onnx";

// Each value was chosen with bench/caras: 40 generated 1080p frames, 199 real faces pasted
// at 24-250 px, a quarter of the frames grey and grainy like night infrared, a fifth
// re-encoded at JPEG quality 12. Figures are recall / precision / ms per frame on a shared
// 2-core machine.
struct AjustesBlazeFace {
    // Tile side in frame pixels, resized to the 256 network input. 384: 0.94 / 0.88 / 400 ms;
    // 448: 0.91 / 0.88 / 295 ms; 512: 0.87 / 0.87 / 264 ms (24-40 px faces 0.73 against
    // 0.84); 256: 0.88 / 0.84 / 712 ms. Recall comes first, so 384.
    int lado = 384;
    // Share of a tile repeated by its neighbour: with a quarter, faces up to ~96 px lie whole
    // in some tile; larger ones are the coarse passes' job. A fifth saved 4 of 33 runs a
    // frame but lost 3 faces (0.925 / 0.88).
    double solape = 0.25;
    // Lowest score kept. 0.50: 0.945 / 0.82; 0.55: 0.940 / 0.88; 0.60: 0.915 / 0.92. A
    // missed face is an identity leaked and a false box one click, so recall leads; 0.55
    // costs one face in 199 against 0.50 and removes a quarter of the false boxes.
    float umbral = 0.55f;
    // Tile boxes wider than this share of the network input are dropped: on noisy and
    // textured frames the model makes up boxes about half its input wide (keeping up to a
    // half: precision 0.55 instead of 0.88, the same recall), and faces that big in a tile
    // are seen by the coarse pass over the whole region anyway.
    double anchoMaximoEnTesela = 1.0 / 3.0;
    // Boxes overlapping more than this (intersection over union) are one face. 0.3: 0.940 /
    // 0.882; 0.5 left two more split faces (0.940 / 0.874): tiles cut a face differently,
    // and its pieces overlap less than a half.
    double solapeSupresion = 0.3;
};

// Where the model is looked for: beside the executable, then the installed data folder.
QStringList rutasModeloCaras();

// Tile starts along one side of `largo` pixels: evenly spread, neighbours overlapping by at
// least `solape` of `lado`; empty when the side is shorter than a tile.
std::vector<int> posicionesTeselas(int largo, int lado, double solape);

class DetectorBlazeFace : public DetectorCaras {
public:
    explicit DetectorBlazeFace(AjustesBlazeFace ajustes = {}, QStringList rutas = rutasModeloCaras());
    ~DetectorBlazeFace() override;
    ResultadoDeteccion detectar(const QImage& imagen, const QRect& region) override;
    // Network runs so far; the benchmark reports it.
    long inferencias() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

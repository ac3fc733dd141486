#pragma once
// The default face detector: MediaPipe's BlazeFace "back" model (256×256 input, meant for
// small and distant faces) run with OpenCV's DNN module over tiles of the region.
#include "analisis/detector.h"

#include <QString>
#include <memory>
#include <vector>

inline constexpr const char* kNombreModeloCaras = "face_detection_back_256x256_barracuda.onnx";

// Each value was chosen on generated 1080p frames with real faces pasted at 24-250 px,
// a quarter of them grey and noisy like night infrared (see bench/caras).
struct AjustesBlazeFace {
    // Tile side in frame pixels, resized to the 256 network input. 384 (×0.67) still finds
    // 24 px faces; 512 lost most of them, and 256 found no more while costing twice the
    // tiles.
    int lado = 384;
    // Share of a tile repeated by its neighbour: a quarter covers faces up to ~100 px whole
    // in some tile, and larger ones are the coarse passes' job.
    double solape = 0.25;
    // Lowest score kept. Recall first: a missed face is an identity leaked, a false box one
    // click; on our set recall fell fast above 0.6 while false boxes rose slowly below 0.5.
    float umbral = 0.55f;
    // Tile boxes wider than this share of the network input are dropped: on noisy and
    // textured frames the model makes up boxes about half its input wide, and faces that
    // big in a tile are seen by the coarse pass over the whole region anyway.
    double anchoMaximoEnTesela = 1.0 / 3.0;
    // Boxes overlapping more than this (intersection over union) are one face.
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

#pragma once
// The default face detector: MediaPipe's BlazeFace "back" model (256×256 input, meant for
// small and distant faces) run with OpenCV's DNN module over a pyramid of the whole frame.
#include "analisis/detector.h"

#include <QString>
#include <memory>
#include <vector>

inline constexpr const char* kNombreModeloCaras = "face_detection_back_256x256_barracuda.onnx";

// Each value was chosen with bench/caras: 40 generated 1080p frames, 199 real faces pasted
// at 24-250 px, a quarter of the frames grey and grainy like night infrared, a fifth
// re-encoded at JPEG quality 12. Figures are recall / precision / ms per frame on a shared
// 2-core machine; where a second figure follows, it is another 40 frames (other seeds).
//
// The frame is seen as a pyramid: a fine level at `escalaFina` and one at half of it, each
// one pass of the network over the whole frame (the graph's fixed shapes are freed, see
// blazeface.cpp), plus a coarse pass over the whole picture fitted into 256 pixels: 3 runs
// a frame, 0.970 / 0.941 / 191 ms (second set 0.990 / 0.952). The earlier design ran 33
// tiles of 384 px (a quarter overlap) a frame, 12.6 ms each: 0.940 / 0.882 / 418 ms; the
// same scale as one pass costs 140 ms instead of 350, because tiles computed their overlaps
// twice. Without the half level: 0.940 / 0.974 / 163 ms (second set 0.955 / 0.984).
struct AjustesBlazeFace {
    // Scale of the finest level (frame pixels to network input pixels). At threshold 0.45
    // without the keypoint test: 2/3 (what 384-px tiles were) 0.965 / 0.970 / 200 ms; 0.72
    // 0.960 / 0.914 / 239 ms (second set 0.970 / 0.941). At 0.55 without smoothing, 0.75
    // and 0.8 gave +0.01 and +0.02 recall for 60 and 85 ms more. Tiles of 512 (scale 1/2)
    // lost a quarter of the 24-40 px faces, tiles of 256 (scale 1) cost twice as much.
    double escalaFina = 2.0 / 3.0;
    // Lowest score kept. With the smoothing and the keypoint test below, on three sets of
    // frames: 0.45: 0.965 / 0.985, 0.965 / 0.970, 0.960 / 0.960; 0.40: 0.970 / 0.941, 0.990
    // / 0.952, 0.965 / 0.910. Without the keypoint test 0.40 gave 0.906, 0.929 and 0.889
    // precision, and 0.45 0.970, 0.960, 0.950; 0.50 (smoothing only) 0.935 / 0.979 and
    // 0.965 / 0.985. A missed face is an identity leaked and a false box one click: 0.40.
    float umbral = 0.40f;
    // Pyramid boxes wider than this share of 256 input pixels are dropped: on noisy and
    // textured frames the model makes up boxes about half its input wide (keeping up to a
    // half in the former tiles: precision 0.55 instead of 0.88, the same recall), and faces
    // that big are seen by the next level or the coarse pass.
    double anchoMaximo = 1.0 / 3.0;
    // Boxes overlapping more than this (intersection over union) are one face. 0.3: 0.940 /
    // 0.882; 0.5 left two more split faces (0.940 / 0.874) in the former tiles.
    double solapeSupresion = 0.3;
    // A coarse pass over each corner crop too, not only over the whole picture: at
    // threshold 0.55, 0.925 / 0.893 / 232 ms against 0.925 / 0.984 / 199 ms without. The
    // half level already sees faces of that size, and corner passes made up boxes of half
    // a corner (about 550 px) on grainy and textured frames.
    bool gruesaEnCadaRegion = false;
    // Gaussian blur of the pyramid levels, sigma in frame pixels: the grain of night frames
    // looks like texture to the network at the finest level. At threshold 0.45, 1.0: 0.965
    // / 0.970 (night frames 0.880 / 0.978), second set 0.965 / 0.960 (night 0.857 / 0.977);
    // none: 0.955 / 0.960 (night 0.820 / 0.932), 0.960 / 0.932 (night 0.837 / 0.932); 0.7:
    // 0.960 / 0.955, 0.970 / 0.941. 1.5 on the grey frames only lost small faces (night
    // recall 0.72). On clear frames it is about neutral (148 of 149 faces with it, 149
    // without; 150 of 150 both on the second set), and it spares telling grainy frames
    // apart. Stretching the contrast of grey frames instead lost faces (night recall 0.78),
    // as equalisation did.
    double suavizado = 1.0;
    // Keep only boxes whose eye and mouth keypoints sit like an upright face's (see
    // blazeface.cpp). It lost no face on the three sets and removed a third of the false
    // boxes at threshold 0.40 (213 boxes to 205, 212 to 207, 217 to 212): the model's
    // guesses on texture put all their keypoints in one spot. Tilted heads keep their
    // faces: with every face rolled 25 degrees, 0.973 recall with and without it; at 40
    // degrees 0.946 against 0.951 (one face in 185), precision 0.926 against 0.903.
    bool exigirRasgos = true;
};

// Where the model is looked for: beside the executable, then the installed data folder.
QStringList rutasModeloCaras();

// Block starts along one side of `largo` pixels: evenly spread, neighbours overlapping by
// at least `solape` of `lado`; empty when the side is shorter than a block.
std::vector<int> posicionesTeselas(int largo, int lado, double solape);

class DetectorBlazeFace : public DetectorCaras {
public:
    explicit DetectorBlazeFace(AjustesBlazeFace ajustes = {}, QStringList rutas = rutasModeloCaras());
    ~DetectorBlazeFace() override;
    QString preparar() override;
    ResultadoDeteccion detectar(const QImage& imagen, const QRect& region) override;
    // Network runs so far; the benchmark reports it.
    long inferencias() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

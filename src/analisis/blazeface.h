#pragma once
// The default face detector: MediaPipe's BlazeFace "back" model (256×256 input, meant for
// small and distant faces) run with XNNPACK (OpenCV's DNN module as the fallback) over a
// pyramid of the whole frame.
#include "analisis/detector.h"
#include "analisis/supresion.h"

#include <QString>
#include <memory>
#include <vector>

// What runs the network. XNNPACK takes about half the CPU time of OpenCV's DNN on this
// network's depthwise and pointwise layers (one thread, 1280×736: 151 against 291 ms;
// 128×128: 2.1 against 7.4 ms), with outputs that differ in the last float bits. OpenCV's
// DNN stays as the fallback where XNNPACK cannot start or meets a layer it does not know.
enum class MotorRed { xnnpack, opencv };

inline constexpr const char* kNombreModeloCaras = "face_detection_back_256x256_barracuda.onnx";

// The values up to `exigirRasgos` were first chosen on frames made from one photograph
// pasted many times (figures in their comments: recall / precision / ms per frame). The
// confirmation step and the widening, and the threshold, were chosen with banco-caras on the
// "ajuste" part of the measurement set (70 frames, 314 faces of 22 people 20-300 px, 10
// background photographs, one of them since dropped for holding two people upside down;
// seven kinds of degradation; tests/apoyo/conjunto_caras.h), never on the "reserva" part.
// Figures on "ajuste" are recall / precision / CPU ms per frame; CPU time is given because
// the shared machine was loaded 8-17 while measuring.
//
// The frame is seen as a pyramid: a fine level at `escalaFina` and one at half of it, each
// one pass of the network over the whole frame (the graph's fixed shapes are freed, see
// red_blazeface.cpp), plus a coarse pass over the whole picture fitted into 256 pixels: 3 runs
// a frame, 0.970 / 0.941 / 191 ms (second set 0.990 / 0.952). The earlier design ran 33
// tiles of 384 px (a quarter overlap) a frame, 12.6 ms each: 0.940 / 0.882 / 418 ms; the
// same scale as one pass costs 140 ms instead of 350, because tiles computed their overlaps
// twice. Without the half level: 0.940 / 0.974 / 163 ms (second set 0.955 / 0.984). What the
// three runs propose is then confirmed on crops of its own and the boxes widened (below).
struct AjustesBlazeFace {
    // Scale of the finest level (frame pixels to network input pixels). At threshold 0.45
    // without the keypoint test: 2/3 (what 384-px tiles were) 0.965 / 0.970 / 200 ms; 0.72
    // 0.960 / 0.914 / 239 ms (second set 0.970 / 0.941). At 0.55 without smoothing, 0.75
    // and 0.8 gave +0.01 and +0.02 recall for 60 and 85 ms more. Tiles of 512 (scale 1/2)
    // lost a quarter of the 24-40 px faces, tiles of 256 (scale 1) cost twice as much.
    // On "ajuste" without the confirmation, at threshold 0.40: 2/3 0.825 / 0.680 / 374 ms;
    // 0.8 0.850 / 0.676 / 598 ms; 1.0 0.866 / 0.609 / 888 ms (24-40 px faces 0.746, 0.794,
    // 0.857; 20-24 px 0.43, 0.48, 0.49). With it, 0.8 gave 0.828 / 0.890 / 871 ms at 0.40
    // against 2/3's 0.806 / 0.878 / 597 ms: not worth half as much time again.
    double escalaFina = 2.0 / 3.0;
    // Lowest score kept: with the confirmation below, the mean of the pyramid's score and the
    // two looks at the crop. On "ajuste": 0.35 0.825 / 0.852; 0.40 0.806 / 0.878; 0.30
    // 0.841 / 0.739; 0.45 0.790 / 0.925 (recall first: 0.35). Since small proposals have a
    // bar of their own (below), this one holds for faces from about 32 px, where most false
    // boxes are: 0.40 kept every face 0.35 kept there. Before the confirmation, on
    // the frames of one pasted photograph, with the smoothing and the keypoint test below, on
    // three sets of frames: 0.45: 0.965 / 0.985, 0.965 / 0.970, 0.960 / 0.960; 0.40: 0.970 / 0.941, 0.990
    // / 0.952, 0.965 / 0.910. Without the keypoint test 0.40 gave 0.906, 0.929 and 0.889
    // precision, and 0.45 0.970, 0.960, 0.950; 0.50 (smoothing only) 0.935 / 0.979 and
    // 0.965 / 0.985. A missed face is an identity leaked and a false box one click.
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
    // red_blazeface.cpp). It lost no face on the three sets and removed a third of the false
    // boxes at threshold 0.40 (213 boxes to 205, 212 to 207, 217 to 212): the model's
    // guesses on texture put all their keypoints in one spot. Tilted heads keep their
    // faces: with every face rolled 25 degrees, 0.973 recall with and without it; at 40
    // degrees 0.946 against 0.951 (one face in 185), precision 0.926 against 0.903.
    bool exigirRasgos = true;
    // Second look at every proposal on a crop of its own (see mirada_caras.cpp): pyramid boxes
    // scoring `umbralPropuestas` or more, at most `maximoVerificadas` of them, each seen on a
    // `ladoVerificacion`-pixel square `contextoVerificacion` times its width, as it is and
    // mirrored. On "ajuste" with the pyramid at 2/3: without it 0.825 / 0.680 / 374 ms at
    // threshold 0.40 (0.809 / 0.698 at 0.45, 0.783 / 0.757 at 0.50); with it, context 4 and
    // threshold 0.35, 0.825 / 0.852 / 597 ms: a fifth of the false boxes, the same recall
    // (0.818 / 0.793 / 609 ms with the background list as it stands now). Proposals from 0.12,
    // up to 60: 0.822 / 0.801 / 837 ms; the pyramid at 0.75: 0.812 / 0.785 / 711 ms.
    // Context 2.5 (the face upscaled more) lost faces on degraded frames: 0.796 / 0.812 with
    // proposals from 0.15, 0.777 / 0.841 from 0.25 (night recall 0.73 and 0.49); context 6
    // with the pyramid at 0.8, 0.828 / 0.861 / 824 ms. Averaging the two looks only, without
    // the pyramid's score: 0.771 / 0.804 against 0.796 / 0.812.
    bool verificar = true;
    float umbralPropuestas = 0.20f;
    int ladoVerificacion = 128;
    double contextoVerificacion = 4.0;
    int maximoVerificadas = 40;
    bool contarPiramide = true;
    // Proposals narrower than `anchoPequenas` frame pixels (faces under about 32 px) are
    // looked at on a `ladoVerificacionPequenas` square instead, the face upscaled to 64 input
    // pixels, from a pyramid score of `umbralPropuestasPequenas`, and kept from a mean score
    // of `umbralPequenas`. At 128 such a face is 32 input pixels, where the network barely
    // tells it from texture, and few false boxes are that small, so a lower bar costs little.
    // Measured by replaying the looks of every proposal from 0.10 on "ajuste": the former
    // single look 0.825 / 0.762 (20-24 px 0.381, 24-40 px 0.778); small proposals on 256
    // from 0.15, kept from 0.30, the rest from 0.40: 0.885 / 0.794 (0.619, 0.841), 2.6 small
    // proposals a frame. Their look on 192 (face 48 px): 0.860 / 0.776; on 256 with the face
    // at 48 px: 0.850 / 0.807 (20-24 px 0.460). Small from 0.10: 0.898 / 0.740, 5.6 a frame;
    // up to 40 px wide: 0.898 / 0.746, 4.8 a frame. Larger proposals on 128 with context 3
    // instead of 4: precision 0.753 against 0.794. Requiring large boxes found at one
    // pyramid level only to score 0.50 (texture often is, faces seldom): 0.882 / 0.812.
    // Requiring the pyramid's and the looks' boxes of larger proposals to agree (least
    // intersection over union 0.40): 0.876 / 0.851 against 0.879 / 0.819 with the mode's
    // merging, one face lost; on "reserva" it lost 9 faces (0.863 to 0.834, most of them
    // turned sideways, a pose "ajuste" lacks) for 0.005 of precision. Left out.
    // The same package's short-range model (128 input, strides 8 and 16) as a third
    // proposer of faces up to 48 px, one pass over the whole frame: the pyramid proposes 92
    // of the 126 faces of 20-40 px on "ajuste"; with it at scale 0.7 / 0.8 / 1.0 (212 / 288
    // / 411 ms CPU for that pass alone) 96 / 104 / 110. Through the confirmation, 0.8 gave
    // 0.898 / 0.775 / 935 ms (20-40 px 96) and 1.0 0.904 / 0.774 / 1157 ms (100), against
    // 0.879 / 0.819 / 575 ms (90): +6 and +10 faces for 1.6 and 2 times the time. Left out.
    double anchoPequenas = 32.0;
    int ladoVerificacionPequenas = 256;
    float umbralPropuestasPequenas = 0.15f;
    float umbralPequenas = 0.30f;
    // Widening of the final boxes, as shares of their width and height. The model boxes a
    // face from the brows to the chin and cheek to cheek; the blur must also hide forehead,
    // hair line and ears. On "ajuste" the whole face reached past the model's box by (median
    // / 90th percentile) 0.10 / 0.25 of its width on the left, 0.11 / 0.20 on the right,
    // 0.30 / 0.46 of its height above and 0.00 / 0.08 below; boxes covered 0.62 of the face
    // on average, 4 faces in 224 whole. Widened so: 0.973 on average, 189 in 224 whole.
    double ensancheLados = 0.20;
    double ensancheArriba = 0.45;
    double ensancheAbajo = 0.10;
    // The engine preferred for the network; the benchmark and the tests compare the two.
    MotorRed motor = MotorRed::xnnpack;
};

// What the second look saw around one place of a picture: the best face near it on the crop
// as it is and mirrored, in pixels of the picture; a score of 0 where it saw none.
struct VistasDeCara {
    Candidata directa;
    Candidata espejo;
};

// Where the model is looked for: beside the executable, then the installed data folder.
QStringList rutasModeloCaras();

// How many frames the mode looks at side by side: two while there are two cores, for each
// detector holds its networks (about 270 MB for 1080p frames).
int hilosParaCaras();

// Shares the cores (at most four, the player is decoding video beside us) out among
// `detectores` detectors working side by side: OpenCV's threads for each.
void repartirNucleos(int detectores);

// Block starts along one side of `largo` pixels: evenly spread, neighbours overlapping by
// at least `solape` of `lado`; empty when the side is shorter than a block.
std::vector<int> posicionesTeselas(int largo, int lado, double solape);

class DetectorBlazeFace : public DetectorCaras {
public:
    explicit DetectorBlazeFace(AjustesBlazeFace ajustes = {}, QStringList rutas = rutasModeloCaras());
    ~DetectorBlazeFace() override;
    QString preparar() override;
    ResultadoDeteccion detectar(const QImage& imagen, const QRect& region) override;
    // The same faces in pixels of the picture, with their scores, best first; false with
    // `error` set when the detector failed. The benchmark draws its threshold curve from it.
    bool candidatas(const QImage& imagen, const QRect& region, std::vector<Candidata>& cajas, QString& error);
    // A second look at given places of a picture, all in one go: for each box of `cajas`
    // (pixels of the picture, where a face is expected), the face the network finds on a
    // crop of `contextoVerificacion` times its width around it, as it is and mirrored. The
    // look that confirms the pyramid's proposals; false with `error` set when the detector
    // failed.
    bool mirarDeNuevo(const QImage& imagen, const std::vector<QRectF>& cajas, std::vector<VistasDeCara>& vistas,
                      QString& error);
    // Pictures the network has looked at so far; the benchmark reports it.
    long inferencias() const;
    // The engine running the network once prepared.
    MotorRed motor() const;
    // CPU time of the calling thread so far, by step, in seconds: the whole cost of each
    // step when OpenCV works on that thread alone (see repartirNucleos). For the benchmark.
    struct Tiempos {
        double color = 0;          // the frame as RGB
        double piramide = 0;       // scaling and smoothing the pyramid levels, reading boxes
        double redPiramide = 0;    // the network's runs over the levels
        double mirada = 0;         // cropping the second looks, choosing their faces
        double redMirada = 0;      // the network's runs over the crops
    };
    Tiempos tiempos() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

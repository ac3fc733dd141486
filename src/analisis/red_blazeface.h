#pragma once
// The BlazeFace network itself: the model file checked and its fixed shapes freed, one
// runnable network per input size, and its raw outputs read as scored boxes.
// Internal to the face detector.
#include "analisis/blazeface.h"
#include "analisis/grafo_xnnpack.h"
#include "analisis/supresion.h"

#include <QString>
#include <QStringList>
#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>
#include <map>
#include <memory>
#include <utility>
#include <vector>

// The side the model was trained on; its box offsets are in pixels of such an input.
inline constexpr int kEntradaBlazeFace = 256;
// The coarsest stride of the network: every input side is a multiple of it.
inline constexpr int kPasoBlazeFace = 32;

// The model's anchor grids, in output order: stride 16 with 2 anchors a cell, stride 32
// with 6.
struct RejillaBlazeFace {
    int paso;
    int porCelda;
};
inline constexpr RejillaBlazeFace kRejillasBlazeFace[2] = {{16, 2}, {32, 6}};

// The smallest multiple of the network's stride that holds `v` pixels.
int multiploDePaso(int v);

// What the network said about one input: scores and boxes of its two anchor grids,
// [n, 1] and [n, 16] (stride 16 first).
struct Salidas {
    cv::Mat puntuaciones[2];
    cv::Mat cajas[2];
};

// Candidates in input pixels (origin top-left) of an input `ancho` pixels wide: scores from
// `umbral`, and with `exigirRasgos` only boxes whose keypoints sit like a face's.
std::vector<Candidata> decodificar(const Salidas& s, int ancho, float umbral, bool exigirRasgos);

class RedBlazeFace {
public:
    explicit RedBlazeFace(QStringList rutas, MotorRed preferido = MotorRed::xnnpack);
    // Finds, checks and reads the model once; false (with `errorCarga`) when it cannot run.
    bool cargar();
    const QString& errorCarga() const { return errorCarga_; }
    // The engine in use once loaded, and why it is not XNNPACK when XNNPACK was preferred.
    MotorRed motor() const { return motor_; }
    const QString& motivoOpenCV() const { return motivoOpenCV_; }
    // One network run over `lienzo`, an 8-bit RGB picture whose sides are multiples of 32.
    //
    // Batches were measured and left out: the graph runs them once its constant planes are
    // sized to the batch, with bit-identical results, but OpenCV 4.6 works through a batch
    // picture by picture. On one thread a 128×128 input cost 4.04-4.24 ms alone and 4.10-4.39
    // ms a picture in batches of 2 to 16; 256×256, 13.5-14.1 against 14.3-15.2. In the mode
    // a batch of every second look of a frame took more CPU time, and 350 MB more memory.
    bool inferir(const cv::Mat& lienzo, Salidas& s, QString& error);
    // Pictures the network has looked at so far, and the CPU time of its runs (seconds).
    long inferencias() const { return inferencias_; }
    double segundos() const { return segundos_; }

private:
    cv::dnn::Net* red(int ancho, int alto, QString& error);
    cv::dnn::Net leerRed(int ancho, int alto);
    GrafoXnnpack* grafo(int ancho, int alto);
    bool inferirOpenCV(const cv::Mat& lienzo, Salidas& s, QString& error);

    QStringList rutas_;
    bool intentada_ = false;
    QString errorCarga_;
    std::vector<char> modelo_;
    MotorRed motor_;
    QString motivoOpenCV_;
    // XNNPACK's graphs, one per input size, translated from a parsed network never run.
    cv::dnn::Net plantilla_;
    std::map<std::pair<int, int>, std::unique_ptr<GrafoXnnpack>> grafos_;
    // One network per input size: each keeps its layers allocated for that size.
    std::map<std::pair<int, int>, cv::dnn::Net> redes_;
    // The network's float input, one per size, so no frame allocates it again.
    std::map<std::pair<int, int>, cv::Mat> entradas_;
    long inferencias_ = 0;
    double segundos_ = 0;
};

// CPU seconds the calling thread has used.
double cpuDelHilo();

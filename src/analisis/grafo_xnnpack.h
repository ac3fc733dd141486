#pragma once
// The BlazeFace network run by XNNPACK: the layers OpenCV parsed from the model, rebuilt as
// XNNPACK operators for one input size. Internal to the face detector.
#include "analisis/memoria_xnnpack.h"

#include <QString>
#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>
#include <memory>
#include <vector>

struct Salidas;
struct xnn_operator;

class GrafoXnnpack {
public:
    // The graph of `red` (parsed, never run) for an input of `ancho`×`alto`; null with
    // `error` when XNNPACK cannot start on this machine or the network holds a layer this
    // translation does not know.
    //
    // Operators rather than XNNPACK's subgraph runtime: that one (this 2022 snapshot) gives
    // every intermediate tensor memory of its own, 600 MB for a 1280×736 input, and no layer
    // finds its input in cache. Here tensors share a few buffers, each freed after its last
    // reader.
    //
    // It runs on the calling thread: the mode gets its parallelism from frames side by side.
    // Spread over a thread pool, every layer waits for the slowest thread, and the pool's
    // threads spin while they wait: a single detector on two threads took 5132 ms a 1080p
    // frame on the loaded 2-core machine, against 497 for two detectors on one each.
    static std::unique_ptr<GrafoXnnpack> crear(cv::dnn::Net& red, int ancho, int alto, QString& error);
    ~GrafoXnnpack();
    GrafoXnnpack(const GrafoXnnpack&) = delete;
    GrafoXnnpack& operator=(const GrafoXnnpack&) = delete;

    // Where the input goes: NHWC float, `alto` rows of `ancho` RGB pixels.
    float* entrada() { return entrada_.get(); }
    // One run over what entrada() holds. The outputs in `s` point into this graph and stay
    // valid until its next run.
    bool inferir(Salidas& s, QString& error);

private:
    GrafoXnnpack() = default;
    class Traduccion;

    using Bloque = BloqueFlotantes;

    std::vector<xnn_operator*> operadores_;
    Bloque entrada_;
    // The buffers the tensors share.
    std::vector<Bloque> memoria_;
    // Scores and boxes of the two anchor grids, written by the heads themselves.
    cv::Mat puntuaciones_[2];
    cv::Mat cajas_[2];
};

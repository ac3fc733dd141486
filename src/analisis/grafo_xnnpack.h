#pragma once
// The BlazeFace network run by XNNPACK: the layers OpenCV parsed from the model, rebuilt as
// an XNNPACK runtime for one input size. Internal to the face detector.
#include <QString>
#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>
#include <memory>
#include <vector>

struct Salidas;
struct xnn_runtime;
struct pthreadpool;

class GrafoXnnpack {
public:
    // The graph of `red` (parsed, never run) for an input of `ancho`×`alto`, on `hilos`
    // threads; null with `error` when XNNPACK cannot start on this machine or the network
    // holds a layer this translation does not know.
    static std::unique_ptr<GrafoXnnpack> crear(cv::dnn::Net& red, int ancho, int alto, int hilos, QString& error);
    ~GrafoXnnpack();
    GrafoXnnpack(const GrafoXnnpack&) = delete;
    GrafoXnnpack& operator=(const GrafoXnnpack&) = delete;

    // Where the input goes: NHWC float, `alto` rows of `ancho` RGB pixels.
    float* entrada() { return entrada_.data(); }
    // One run over what entrada() holds. The outputs in `s` point into this graph and stay
    // valid until its next run.
    bool inferir(Salidas& s, QString& error);

private:
    GrafoXnnpack() = default;
    class Traduccion;

    xnn_runtime* runtime_ = nullptr;
    pthreadpool* hilos_ = nullptr;
    // Weights stay with the graph: XNNPACK keeps pointers to them.
    std::vector<std::vector<float>> pesos_;
    std::vector<float> entrada_;
    // Scores and boxes of the two anchor grids, as Salidas hands them out.
    cv::Mat puntuaciones_[2];
    cv::Mat cajas_[2];
};

#pragma once
// The first look at a frame: the network over a pyramid of the whole picture, proposing
// faces for the second look to confirm. Internal to the face detector.
#include "analisis/blazeface.h"
#include "analisis/red_blazeface.h"

#include <QRect>
#include <QString>
#include <vector>

class PiramideCaras {
public:
    PiramideCaras(RedBlazeFace& red, const AjustesBlazeFace& ajustes);
    // What the fine level, the level at half its scale and the coarse pass over the whole
    // picture find in `pixeles` (8-bit RGB), in its pixels, before any merging.
    bool proponer(const cv::Mat& pixeles, std::vector<Candidata>& out, QString& error);
    // The whole `region` shrunk to fit the model's own side.
    bool pasadaGruesa(const cv::Mat& pixeles, const QRect& region, std::vector<Candidata>& out, QString& error);

private:
    bool nivel(const cv::Mat& pixeles, double escala, std::vector<Candidata>& out, QString& error);
    bool analizar(const cv::Mat& lienzo8, QPointF desplazamiento, double escala, QPointF base, double maximo,
                  std::vector<Candidata>& out, QString& error);
    // The lowest score a proposal may have: the second look's bars when there is one.
    float umbral() const;

    RedBlazeFace& red_;
    const AjustesBlazeFace& a_;
    // Reused from frame to frame: the scaled picture and the padded network input.
    cv::Mat escalada_;
    cv::Mat lienzo_;
};

#pragma once
// The second look: a place of the frame seen again on a crop of its own, as it is and
// mirrored. Internal to the face detector.
#include "analisis/blazeface.h"
#include "analisis/red_blazeface.h"

#include <QString>
#include <vector>

class MiradaCaras {
public:
    MiradaCaras(RedBlazeFace& red, const AjustesBlazeFace& ajustes);
    // For each box of `cajas` (pixels of `pixeles`, 8-bit RGB), what the network sees of it
    // on a square `contextoVerificacion` times its width around it (see blazeface.h).
    bool mirar(const cv::Mat& pixeles, const std::vector<QRectF>& cajas, std::vector<VistasDeCara>& vistas,
               QString& error);
    // Keeps the proposals (best first) whose second look agrees, scored and boxed anew.
    bool confirmar(const cv::Mat& pixeles, std::vector<Candidata>& candidatas, QString& error);

private:
    // Where a crop lies: its top-left corner and side in frame pixels, frame to input scale,
    // input side.
    struct Encuadre {
        QPointF origen;
        double ancho = 0.0;
        double escala = 1.0;
        int lado = 0;
    };
    bool esPequena(const QRectF& caja) const;
    Encuadre encuadre(const QRectF& caja) const;
    // The crop as a network input; false when it lies wholly outside the frame.
    bool recortar(const cv::Mat& pixeles, const Encuadre& e, cv::Mat& lienzo);
    // The proposal's face among the crop's boxes: near the centre, of about the expected size.
    Candidata elegir(const Salidas& s, const Encuadre& e, bool espejo) const;

    RedBlazeFace& red_;
    const AjustesBlazeFace& a_;
    // Reused from crop to crop.
    cv::Mat escalada_;
    cv::Mat lienzo_;
};

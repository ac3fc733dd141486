#include "analisis/piramide_caras.h"

#include <opencv2/imgproc.hpp>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Largest input block of a pyramid level, so a 4K or 8K frame does not need gigabytes of
// intermediate layers; a 1080p frame at 2/3 (1280×720) is one block.
constexpr int kBloqueAncho = 1536;
constexpr int kBloqueAlto = 1024;
// Blocks of one level overlap by this many input pixels: more than the widest box kept
// from a level, so such a face lies whole in some block.
constexpr int kSolapeBloques = 128;

// Block starts along a side of `largo` pixels and the block side `lado`: as few blocks as
// fit in `maximo`, each just big enough to keep the overlap, so a 4K frame is not padded
// into blocks that mostly repeat each other.
std::vector<int> bloques(int largo, int maximo, int& lado)
{
    if (multiploDePaso(largo) <= maximo) {
        lado = multiploDePaso(largo);
        return {0};
    }
    const int util = maximo - kSolapeBloques;
    const int n = (largo - kSolapeBloques + util - 1) / util;
    lado = std::min(maximo, multiploDePaso((largo + (n - 1) * kSolapeBloques + n - 1) / n));
    return posicionesTeselas(largo, lado, double(kSolapeBloques) / lado);
}

} // namespace

std::vector<int> posicionesTeselas(int largo, int lado, double solape)
{
    std::vector<int> p;
    if (lado <= 0 || largo < lado)
        return p;
    const double paso = std::max(1.0, lado * (1.0 - solape));
    const int n = static_cast<int>(std::ceil((largo - lado) / paso)) + 1;
    for (int j = 0; j < n; ++j)
        p.push_back(n == 1 ? 0 : static_cast<int>(std::lround(double(j) * (largo - lado) / (n - 1))));
    return p;
}

PiramideCaras::PiramideCaras(RedBlazeFace& red, const AjustesBlazeFace& ajustes)
    : red_(red)
    , a_(ajustes)
{
}

float PiramideCaras::umbral() const
{
    return a_.verificar ? std::min({a_.umbral, a_.umbralPropuestas, a_.umbralPropuestasPequenas}) : a_.umbral;
}

bool PiramideCaras::proponer(const cv::Mat& pixeles, std::vector<Candidata>& out, QString& error)
{
    for (const double escala : {a_.escalaFina, a_.escalaFina / 2.0})
        if (!nivel(pixeles, escala, out, error))
            return false;
    return pasadaGruesa(pixeles, QRect(0, 0, pixeles.cols, pixeles.rows), out, error);
}

bool PiramideCaras::nivel(const cv::Mat& pixeles, double escala, std::vector<Candidata>& out, QString& error)
{
    const int w = std::max(1, static_cast<int>(std::lround(pixeles.cols * escala)));
    const int h = std::max(1, static_cast<int>(std::lround(pixeles.rows * escala)));
    // Not finer than the coarse pass over the whole picture: that one sees it already.
    if (std::max(w, h) <= kEntradaBlazeFace)
        return true;
    cv::resize(pixeles, escalada_, cv::Size(w, h), 0, 0, cv::INTER_AREA);
    if (a_.suavizado > 0.0 && a_.suavizado * escala >= 0.3)
        cv::GaussianBlur(escalada_, escalada_, cv::Size(0, 0), a_.suavizado * escala);
    int bw = 0, bh = 0;
    const std::vector<int> xs = bloques(w, kBloqueAncho, bw);
    const std::vector<int> ys = bloques(h, kBloqueAlto, bh);
    const double maximo = a_.anchoMaximo * kEntradaBlazeFace;
    for (const int y : ys)
        for (const int x : xs) {
            // Beyond the picture the input stays mid grey (0 after scaling).
            lienzo_.create(bh, bw, CV_8UC3);
            lienzo_.setTo(cv::Scalar(128, 128, 128));
            const cv::Rect trozo(x, y, std::min(bw, w - x), std::min(bh, h - y));
            escalada_(trozo).copyTo(lienzo_(cv::Rect(0, 0, trozo.width, trozo.height)));
            if (!analizar(lienzo_, QPointF(x, y), escala, QPointF(), maximo, out, error))
                return false;
        }
    return true;
}

bool PiramideCaras::pasadaGruesa(const cv::Mat& pixeles, const QRect& region, std::vector<Candidata>& out,
                                 QString& error)
{
    // Aspect kept: the network was trained on undistorted faces. The input is cut to the
    // multiple of 32 that holds it.
    const double escala = double(kEntradaBlazeFace) / std::max(region.width(), region.height());
    const int w = std::clamp(static_cast<int>(std::lround(region.width() * escala)), 1, kEntradaBlazeFace);
    const int h = std::clamp(static_cast<int>(std::lround(region.height() * escala)), 1, kEntradaBlazeFace);
    lienzo_.create(multiploDePaso(h), multiploDePaso(w), CV_8UC3);
    lienzo_.setTo(cv::Scalar(128, 128, 128));
    cv::resize(pixeles(cv::Rect(region.x(), region.y(), region.width(), region.height())),
               lienzo_(cv::Rect(0, 0, w, h)), cv::Size(w, h), 0, 0, cv::INTER_AREA);
    return analizar(lienzo_, QPointF(), escala, region.topLeft(), std::numeric_limits<double>::infinity(), out,
                    error);
}

// One network run over `lienzo8` and its boxes in frame pixels: an input box at k lands
// at base + (desplazamiento + k) / escala. Boxes wider than `maximo` input pixels are left out.
bool PiramideCaras::analizar(const cv::Mat& lienzo8, QPointF desplazamiento, double escala, QPointF base,
                             double maximo, std::vector<Candidata>& out, QString& error)
{
    Salidas s;
    if (!red_.inferir(lienzo8, s, error))
        return false;
    for (const Candidata& c : decodificar(s, lienzo8.cols, umbral(), a_.exigirRasgos)) {
        const QRectF k = c.caja;
        if (k.width() > maximo)
            continue;
        out.push_back({QRectF(base.x() + (desplazamiento.x() + k.x()) / escala,
                              base.y() + (desplazamiento.y() + k.y()) / escala, k.width() / escala,
                              k.height() / escala),
                       c.puntuacion});
    }
    return true;
}

#include "analisis/mirada_caras.h"

#include <opencv2/imgproc.hpp>
#include <algorithm>
#include <cmath>

MiradaCaras::MiradaCaras(RedBlazeFace& red, const AjustesBlazeFace& ajustes)
    : red_(red)
    , a_(ajustes)
{
}

bool MiradaCaras::esPequena(const QRectF& caja) const
{
    return std::max(caja.width(), caja.height()) < a_.anchoPequenas;
}

MiradaCaras::Encuadre MiradaCaras::encuadre(const QRectF& caja) const
{
    Encuadre e;
    e.lado = esPequena(caja) ? a_.ladoVerificacionPequenas : a_.ladoVerificacion;
    e.ancho = std::max(caja.width(), caja.height()) * a_.contextoVerificacion;
    e.escala = e.lado / e.ancho;
    e.origen = caja.center() - QPointF(e.ancho / 2, e.ancho / 2);
    return e;
}

bool MiradaCaras::recortar(const cv::Mat& pixeles, const Encuadre& e, cv::Mat& lienzo)
{
    const double ancho = e.ancho;
    const double escala = e.escala;
    const QPointF origen = e.origen;
    lienzo.create(e.lado, e.lado, CV_8UC3);
    if (escala < 1.0) {
        // Shrinking: average the pixels first, as the pyramid levels do, or grain aliases.
        const cv::Rect fuente = cv::Rect(int(std::floor(origen.x())), int(std::floor(origen.y())),
                                         int(std::ceil(ancho)) + 1, int(std::ceil(ancho)) + 1) &
                                cv::Rect(0, 0, pixeles.cols, pixeles.rows);
        if (fuente.empty())
            return false;
        cv::resize(pixeles(fuente), escalada_, cv::Size(), escala, escala, cv::INTER_AREA);
        const cv::Matx23d n(1, 0, (fuente.x - origen.x()) * escala, 0, 1, (fuente.y - origen.y()) * escala);
        cv::warpAffine(escalada_, lienzo, n, lienzo.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                       cv::Scalar(128, 128, 128));
    } else {
        // The crop as an affine map from frame to input pixels; outside the frame stays grey.
        const cv::Matx23d m(escala, 0, -origen.x() * escala, 0, escala, -origen.y() * escala);
        cv::warpAffine(pixeles, lienzo, m, lienzo.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                       cv::Scalar(128, 128, 128));
    }
    // The same smoothing as the pyramid, in frame pixels, so night grain stays grain.
    if (a_.suavizado > 0.0 && a_.suavizado * escala >= 0.3)
        cv::GaussianBlur(lienzo, lienzo, cv::Size(0, 0), a_.suavizado * escala);
    return true;
}

Candidata MiradaCaras::elegir(const Salidas& s, const Encuadre& e, bool espejo) const
{
    Candidata vista{QRectF(), 0.0f};
    const int lado = e.lado;
    const QPointF centro(lado / 2.0, lado / 2.0);
    const double esperado = lado / a_.contextoVerificacion;
    for (const Candidata& c : decodificar(s, lado, 0.05f, a_.exigirRasgos)) {
        const QPointF d = c.caja.center() - centro;
        if (std::hypot(d.x(), d.y()) > 0.35 * esperado || c.caja.width() < 0.5 * esperado ||
            c.caja.width() > 2.0 * esperado || c.puntuacion <= vista.puntuacion)
            continue;
        QRectF k = c.caja;
        if (espejo)
            k.moveLeft(lado - k.right());
        vista = {QRectF(e.origen + k.topLeft() / e.escala, k.size() / e.escala), c.puntuacion};
    }
    return vista;
}

bool MiradaCaras::mirar(const cv::Mat& pixeles, const std::vector<QRectF>& cajas, std::vector<VistasDeCara>& vistas,
                        QString& error)
{
    vistas.assign(cajas.size(), VistasDeCara{});
    Salidas s;
    for (size_t i = 0; i < cajas.size(); ++i) {
        const Encuadre e = encuadre(cajas[i]);
        // A crop wholly outside the frame shows nothing: no face, no network run.
        if (!recortar(pixeles, e, lienzo_))
            continue;
        if (!red_.inferir(lienzo_, s, error))
            return false;
        vistas[i].directa = elegir(s, e, false);
        // The mirrored look is the same crop flipped: made once, it costs nothing more.
        cv::flip(lienzo_, lienzo_, 1);
        if (!red_.inferir(lienzo_, s, error))
            return false;
        vistas[i].espejo = elegir(s, e, true);
    }
    return true;
}

// Each proposal seen again on its own: a square around it with the head's surroundings,
// scaled so the face fills a quarter of a small input's side, as it is and mirrored. A small
// proposal gets a larger input, so its face is drawn upscaled to the size the network sees
// best instead of the 32 pixels of the small input, where it barely sees faces. A face
// keeps its score at that size and in the mirror; texture that happened to look like a face
// at one scale and offset mostly does not. The score becomes the mean of the pyramid's score
// and the two looks (or of the looks alone, `contarPiramide` off), and the box the mean of
// the looks' boxes, drawn at a finer scale than a small face's pyramid level.
bool MiradaCaras::confirmar(const cv::Mat& pixeles, std::vector<Candidata>& candidatas, QString& error)
{
    if (!a_.verificar)
        return true;
    std::vector<Candidata> propuestas;
    for (const Candidata& propuesta : candidatas) {
        const bool pequena = esPequena(propuesta.caja);
        if (propuesta.puntuacion < (pequena ? a_.umbralPropuestasPequenas : a_.umbralPropuestas))
            continue;
        if (static_cast<int>(propuestas.size()) >= a_.maximoVerificadas)
            break;
        propuestas.push_back(propuesta);
    }
    std::vector<QRectF> cajas;
    for (const Candidata& p : propuestas)
        cajas.push_back(p.caja);
    std::vector<VistasDeCara> vistas;
    if (!mirar(pixeles, cajas, vistas, error))
        return false;
    std::vector<Candidata> r;
    for (size_t i = 0; i < propuestas.size(); ++i) {
        const Candidata& propuesta = propuestas[i];
        const Candidata& vista = vistas[i].directa;
        const Candidata& espejo = vistas[i].espejo;
        const bool pequena = esPequena(propuesta.caja);
        const float p = a_.contarPiramide ? (propuesta.puntuacion + vista.puntuacion + espejo.puntuacion) / 3.0f
                                          : (vista.puntuacion + espejo.puntuacion) / 2.0f;
        if (p < (pequena ? a_.umbralPequenas : a_.umbral))
            continue;
        Candidata c{propuesta.caja, p};
        // An upscaled small face tends to be boxed with its hair and neck: the pyramid's box
        // fits it better (on "ajuste", 5 of the 20-24 px faces otherwise fell below the match).
        if (!pequena && vista.puntuacion > 0 && espejo.puntuacion > 0) {
            const QRectF& v = vista.caja;
            const QRectF& e = espejo.caja;
            c.caja = QRectF((v.x() + e.x()) / 2, (v.y() + e.y()) / 2, (v.width() + e.width()) / 2,
                            (v.height() + e.height()) / 2);
        }
        r.push_back(c);
    }
    candidatas = suprimirPonderado(std::move(r), a_.solapeSupresion);
    return true;
}

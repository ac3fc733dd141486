#include "analisis/grafo_xnnpack.h"

#include "analisis/memoria_xnnpack.h"
#include "analisis/red_blazeface.h"

#include <opencv2/dnn/all_layers.hpp>
#include <xnnpack.h>
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <cmath>
#include <limits>
#include <map>

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

enum class Operacion { convolucion, suma, maximo, relleno, recorte };

// One tensor, NHWC, and where it lives once the buffers are shared out.
struct Tensor {
    int alto = 0, ancho = 0, canales = 0;
    int ultimoUso = -1;     // last step that reads it
    float* datos = nullptr; // set when outside the shared buffers (input, outputs)
    int memoria = -1;
    size_t tamano() const { return size_t(alto) * size_t(ancho) * size_t(canales); }
};

// What a layer's output is: a tensor, possibly still to be padded by the convolution that
// reads it (`relleno`), or transposed and reshaped on its way to an output (`reordenado`),
// which nothing may compute on.
struct Ref {
    int tensor = -1;
    bool relleno = false;
    bool reordenado = false;
};

// One operator to be: its kind, tensors, and parameters.
struct Paso {
    Operacion op = Operacion::convolucion;
    int entrada = -1, otra = -1, salida = -1;
    float minimo = -kInf;
    uint32_t arriba = 0, derecha = 0, abajo = 0, izquierda = 0, kh = 1, kw = 1, paso = 1, grupos = 1;
    size_t porGrupoEntra = 0, porGrupoSale = 0;
    std::vector<float> filtro, sesgo; // XNNPACK's layout: [grupos][sale][kh][kw][entra]
    size_t ceros = 0;
};

} // namespace

// Walks OpenCV's layers in their order into steps. OpenCV holds the model NCHW; XNNPACK works
// NHWC, which is the model's own input and output layout, so the transposes around the
// network vanish and the weights are reordered instead.
class GrafoXnnpack::Traduccion {
public:
    Traduccion(GrafoXnnpack& g, cv::dnn::Net& red, int ancho, int alto)
        : g_(g), red_(red), ancho_(ancho), alto_(alto)
    {
    }
    bool traducir(QString& error);
    bool construir(QString& error);

private:
    bool capa(int id, QString& error);
    bool convolucion(const cv::Ptr<cv::dnn::Layer>& l, const Ref& a, Paso& p);
    bool salida(int tensor);
    int tensor(int alto, int ancho, int canales);
    bool repartirMemoria();
    xnn_operator* operador(const Paso& p);

    GrafoXnnpack& g_;
    cv::dnn::Net& red_;
    const int ancho_, alto_;
    std::vector<Tensor> tensores_;
    std::vector<Paso> pasos_;
    std::map<int, Ref> capas_;
    std::map<int, int> lectores_; // layers reading each layer's output
    std::vector<cv::String> salidas_;
    int halladas_ = 0;
};

int GrafoXnnpack::Traduccion::tensor(int alto, int ancho, int canales)
{
    tensores_.push_back({alto, ancho, canales});
    return int(tensores_.size()) - 1;
}

bool GrafoXnnpack::Traduccion::traducir(QString& error)
{
    tensores_.push_back({alto_, ancho_, 3});
    tensores_[0].datos = g_.entrada_.get();
    capas_[0] = Ref{0};
    salidas_ = red_.getUnconnectedOutLayersNames();
    const std::vector<cv::String> nombres = red_.getLayerNames();
    for (const cv::String& nombre : nombres)
        for (const cv::Ptr<cv::dnn::Layer>& e : red_.getLayerInputs(red_.getLayerId(nombre)))
            ++lectores_[red_.getLayerId(e->name)];
    for (const cv::String& nombre : nombres)
        if (!capa(red_.getLayerId(nombre), error))
            return false;
    if (salidas_.size() != 4 || halladas_ != 4) {
        error = QStringLiteral("las salidas del modelo no tienen la forma esperada");
        return false;
    }
    return true;
}

bool GrafoXnnpack::Traduccion::capa(int id, QString& error)
{
    const cv::Ptr<cv::dnn::Layer> l = red_.getLayer(id);
    const std::string& tipo = l->type;
    const auto desconocida = [&] {
        error = QStringLiteral("XNNPACK no sabe ejecutar la capa %1 (%2)")
                    .arg(QString::fromStdString(l->name), QString::fromStdString(tipo));
        return false;
    };
    // The zero planes that widen the channels; the concatenation reading them pads instead.
    if (tipo == "Const")
        return true;
    std::vector<Ref> entradas;
    size_t ceros = 0;
    int primera = -1; // the layer whose output comes first
    for (const cv::Ptr<cv::dnn::Layer>& e : red_.getLayerInputs(id)) {
        if (e->type == "Const") {
            if (entradas.empty() || e->blobs.size() != 1 || e->blobs[0].dims != 4)
                return desconocida();
            ceros += size_t(e->blobs[0].size[1]);
            continue;
        }
        const auto it = capas_.find(red_.getLayerId(e->name));
        if (it == capas_.end())
            return desconocida();
        if (entradas.empty())
            primera = it->first;
        entradas.push_back(it->second);
    }
    if (entradas.empty() || entradas.size() > 2)
        return desconocida();
    const Ref a = entradas[0];
    const Tensor ta = tensores_[size_t(a.tensor)];
    Ref o;
    Paso p;
    p.entrada = a.tensor;
    if (tipo == "Permute" || tipo == "Reshape" || tipo == "Identity") {
        // The input's NHWC-to-NCHW transpose is XNNPACK's own layout; the heads' transposes
        // and reshapes back to NHWC are the heads' own NHWC outputs.
        if (entradas.size() != 1 || (tipo == "Reshape" && !a.reordenado))
            return desconocida();
        o = a;
        o.reordenado = a.tensor != 0;
    } else if (a.reordenado || (a.relleno && tipo != "Convolution")) {
        return desconocida();
    } else if (tipo == "Padding") {
        o = a;
        o.relleno = true;
    } else if (tipo == "Convolution") {
        if (entradas.size() != 1 || !convolucion(l, a, p))
            return desconocida();
    } else if (tipo == "ReLU") {
        const auto r = l.dynamicCast<cv::dnn::ReLULayer>();
        if (!r || r->negativeSlope != 0.0f || entradas.size() != 1)
            return desconocida();
        // Folded into the step that made its input when nothing else reads that.
        if (!pasos_.empty() && pasos_.back().salida == a.tensor && lectores_[primera] == 1 &&
            pasos_.back().op != Operacion::relleno) {
            pasos_.back().minimo = 0.0f;
            capas_[id] = a;
            return true;
        }
        p.op = Operacion::recorte;
        p.minimo = 0.0f;
        p.salida = tensor(ta.alto, ta.ancho, ta.canales);
    } else if (tipo == "Eltwise") {
        // The model's only elementwise operation is the residual sum.
        const Ref b = entradas.back();
        const Tensor& tb = tensores_[size_t(b.tensor)];
        if (entradas.size() != 2 || ceros || b.reordenado || b.relleno || tb.alto != ta.alto ||
            tb.ancho != ta.ancho || tb.canales != ta.canales)
            return desconocida();
        p.op = Operacion::suma;
        p.otra = b.tensor;
        p.salida = tensor(ta.alto, ta.ancho, ta.canales);
    } else if (tipo == "Pooling") {
        const auto m = l.dynamicCast<cv::dnn::PoolingLayer>();
        if (!m || m->type != 0 || m->globalPooling || m->ceilMode || m->kernel_size.size() != 2 ||
            m->kernel_size[0] != m->kernel_size[1] || m->strides.size() != 2 || m->strides[0] != m->strides[1] ||
            std::count(m->pads_begin.begin(), m->pads_begin.end(), 0u) != long(m->pads_begin.size()) ||
            std::count(m->pads_end.begin(), m->pads_end.end(), 0u) != long(m->pads_end.size()) ||
            entradas.size() != 1)
            return desconocida();
        p.op = Operacion::maximo;
        p.kh = p.kw = uint32_t(m->kernel_size[0]);
        p.paso = uint32_t(m->strides[0]);
        p.salida = tensor((ta.alto - int(p.kh)) / int(p.paso) + 1, (ta.ancho - int(p.kw)) / int(p.paso) + 1,
                          ta.canales);
    } else if (tipo == "Concat") {
        // Channels widened with zero planes (checked zero when the model was loaded).
        const auto c = l.dynamicCast<cv::dnn::ConcatLayer>();
        if (!c || (c->axis != 1 && c->axis != -3) || entradas.size() != 1 || ceros == 0)
            return desconocida();
        p.op = Operacion::relleno;
        p.ceros = ceros;
        p.salida = tensor(ta.alto, ta.ancho, ta.canales + int(ceros));
    } else {
        return desconocida();
    }
    if (p.salida >= 0) {
        for (const Ref& e : entradas)
            tensores_[size_t(e.tensor)].ultimoUso = int(pasos_.size());
        pasos_.push_back(std::move(p));
        o.tensor = pasos_.back().salida;
    }
    capas_[id] = o;
    if (std::find(salidas_.begin(), salidas_.end(), l->name) != salidas_.end() && !salida(o.tensor)) {
        error = QStringLiteral("las salidas del modelo no tienen la forma esperada");
        return false;
    }
    return true;
}

bool GrafoXnnpack::Traduccion::convolucion(const cv::Ptr<cv::dnn::Layer>& l, const Ref& a, Paso& p)
{
    const auto c = l.dynamicCast<cv::dnn::BaseConvolutionLayer>();
    if (!c || l->blobs.empty() || l->blobs[0].dims != 4 || l->blobs[0].type() != CV_32F ||
        !l->blobs[0].isContinuous() || c->strides.size() != 2 || c->strides[0] != c->strides[1] ||
        c->pads_begin.size() != 2 || c->pads_end.size() != 2 ||
        std::count(c->dilations.begin(), c->dilations.end(), 1u) != 2)
        return false;
    const Tensor ta = tensores_[size_t(a.tensor)];
    const cv::Mat& w = l->blobs[0];
    const int salen = w.size[0], porGrupo = w.size[1], kh = w.size[2], kw = w.size[3];
    if (porGrupo <= 0 || ta.canales % porGrupo)
        return false;
    const int grupos = ta.canales / porGrupo;
    if (salen % grupos)
        return false;
    p.paso = uint32_t(c->strides[0]);
    p.arriba = uint32_t(c->pads_begin[0]);
    p.izquierda = uint32_t(c->pads_begin[1]);
    p.abajo = uint32_t(c->pads_end[0]);
    p.derecha = uint32_t(c->pads_end[1]);
    if (a.relleno) {
        // The padding written out before a strided convolution is TensorFlow's "same": the
        // odd pixel goes after. The convolution takes it as its own.
        if (p.arriba || p.izquierda || p.abajo || p.derecha)
            return false;
        const int s = int(p.paso);
        const auto mismo = [s](int lado, int k, uint32_t& antes, uint32_t& despues) {
            const int total = std::max(((lado + s - 1) / s - 1) * s + k - lado, 0);
            antes = uint32_t(total / 2);
            despues = uint32_t(total - total / 2);
        };
        mismo(ta.alto, kh, p.arriba, p.abajo);
        mismo(ta.ancho, kw, p.izquierda, p.derecha);
    }
    p.kh = uint32_t(kh);
    p.kw = uint32_t(kw);
    p.grupos = uint32_t(grupos);
    p.porGrupoEntra = size_t(porGrupo);
    p.porGrupoSale = size_t(salen / grupos);
    p.sesgo.assign(size_t(salen), 0.0f);
    if (l->blobs.size() > 1) {
        const cv::Mat& b = l->blobs[1];
        if (b.total() != size_t(salen) || b.type() != CV_32F || !b.isContinuous())
            return false;
        std::copy_n(b.ptr<float>(), salen, p.sesgo.begin());
    }
    // OpenCV's weights are [out][in][h][w]; XNNPACK's [out][h][w][in] (group-major either way).
    p.filtro.resize(w.total());
    const size_t k = size_t(kh) * size_t(kw);
    for (int oc = 0; oc < salen; ++oc)
        for (int ic = 0; ic < porGrupo; ++ic)
            for (size_t i = 0; i < k; ++i)
                p.filtro[(size_t(oc) * k + i) * size_t(porGrupo) + size_t(ic)] = w.ptr<float>(oc, ic)[i];
    const int altoSale = (ta.alto + int(p.arriba + p.abajo) - kh) / int(p.paso) + 1;
    const int anchoSale = (ta.ancho + int(p.izquierda + p.derecha) - kw) / int(p.paso) + 1;
    if (altoSale <= 0 || anchoSale <= 0)
        return false;
    p.op = Operacion::convolucion;
    p.salida = tensor(altoSale, anchoSale, salen);
    return true;
}

// A head's NHWC output is the model's [1, anchors, 1 or 16] as it stands: the head writes it
// straight into the grid its stride and width say it belongs to.
bool GrafoXnnpack::Traduccion::salida(int t)
{
    Tensor& a = tensores_[size_t(t)];
    if (t == 0 || a.datos || a.ancho <= 0 || ancho_ % a.ancho)
        return false;
    const int paso = ancho_ / a.ancho;
    for (int g = 0; g < 2; ++g) {
        const RejillaBlazeFace rj = kRejillasBlazeFace[g];
        if (rj.paso != paso || a.alto * paso != alto_)
            continue;
        const int ultima = a.canales == rj.porCelda ? 1 : a.canales == 16 * rj.porCelda ? 16 : 0;
        cv::Mat& m = ultima == 1 ? g_.puntuaciones_[g] : g_.cajas_[g];
        if (!ultima || !m.empty())
            return false;
        m.create(a.alto * a.ancho * rj.porCelda, ultima, CV_32F);
        a.datos = m.ptr<float>();
        ++halladas_;
        return true;
    }
    return false;
}

// Each tensor takes a free buffer, the smallest that holds it or else the largest, grown;
// a buffer is free again once its tensor's last reader has run. A step's output never
// shares a buffer with its inputs.
bool GrafoXnnpack::Traduccion::repartirMemoria()
{
    std::vector<size_t> capacidad;
    std::vector<int> libres;
    for (size_t i = 0; i < pasos_.size(); ++i) {
        Tensor& t = tensores_[size_t(pasos_[i].salida)];
        if (!t.datos) {
            auto mejor = libres.end();
            for (auto it = libres.begin(); it != libres.end(); ++it) {
                const size_t c = capacidad[size_t(*it)], m = mejor == libres.end() ? 0 : capacidad[size_t(*mejor)];
                const bool cabe = c >= t.tamano(), cabiaMejor = mejor != libres.end() && m >= t.tamano();
                if (mejor == libres.end() || (cabe && (!cabiaMejor || c < m)) || (!cabe && !cabiaMejor && c > m))
                    mejor = it;
            }
            if (mejor == libres.end()) {
                capacidad.push_back(0);
                t.memoria = int(capacidad.size()) - 1;
            } else {
                t.memoria = *mejor;
                libres.erase(mejor);
            }
            capacidad[size_t(t.memoria)] = std::max(capacidad[size_t(t.memoria)], t.tamano());
        }
        const int otra = pasos_[i].otra == pasos_[i].entrada ? -1 : pasos_[i].otra;
        for (const int e : {pasos_[i].entrada, otra})
            if (e >= 0 && tensores_[size_t(e)].memoria >= 0 && tensores_[size_t(e)].ultimoUso == int(i))
                libres.push_back(tensores_[size_t(e)].memoria);
    }
    for (const size_t c : capacidad) {
        g_.memoria_.push_back(bloqueFlotantes(c));
        if (!g_.memoria_.back())
            return false;
    }
    for (Tensor& t : tensores_)
        if (t.memoria >= 0)
            t.datos = g_.memoria_[size_t(t.memoria)].get();
    return true;
}

xnn_operator* GrafoXnnpack::Traduccion::operador(const Paso& p)
{
    const Tensor& e = tensores_[size_t(p.entrada)];
    const Tensor& s = tensores_[size_t(p.salida)];
    const size_t c = size_t(e.canales);
    xnn_operator* op = nullptr;
    bool hecho = false;
    switch (p.op) {
    case Operacion::convolucion:
        hecho = xnn_create_convolution2d_nhwc_f32(p.arriba, p.derecha, p.abajo, p.izquierda, p.kh, p.kw, p.paso,
                                                  p.paso, 1, 1, p.grupos, p.porGrupoEntra, p.porGrupoSale, c,
                                                  size_t(s.canales), p.filtro.data(), p.sesgo.data(), p.minimo,
                                                  kInf, 0, &op) == xnn_status_success &&
                xnn_setup_convolution2d_nhwc_f32(op, 1, size_t(e.alto), size_t(e.ancho), e.datos, s.datos,
                                                 nullptr) == xnn_status_success;
        break;
    case Operacion::suma: {
        const size_t forma[4] = {1, size_t(e.alto), size_t(e.ancho), c};
        hecho = xnn_create_add_nd_f32(p.minimo, kInf, 0, &op) == xnn_status_success &&
                xnn_setup_add_nd_f32(op, 4, forma, 4, forma, e.datos, tensores_[size_t(p.otra)].datos, s.datos,
                                     nullptr) == xnn_status_success;
        break;
    }
    case Operacion::maximo:
        hecho = xnn_create_max_pooling2d_nhwc_f32(0, 0, 0, 0, p.kh, p.kw, p.paso, p.paso, 1, 1, c, c, c, p.minimo,
                                                  kInf, 0, &op) == xnn_status_success &&
                xnn_setup_max_pooling2d_nhwc_f32(op, 1, size_t(e.alto), size_t(e.ancho), e.datos, s.datos,
                                                 nullptr) == xnn_status_success;
        break;
    case Operacion::relleno: {
        const float cero = 0.0f;
        const size_t forma[4] = {1, size_t(e.alto), size_t(e.ancho), c};
        const size_t antes[4] = {0, 0, 0, 0}, despues[4] = {0, 0, 0, p.ceros};
        hecho = xnn_create_constant_pad_nd_x32(&cero, 0, &op) == xnn_status_success &&
                xnn_setup_constant_pad_nd_x32(op, 4, forma, antes, despues, e.datos, s.datos, nullptr) ==
                    xnn_status_success;
        break;
    }
    case Operacion::recorte:
        hecho = xnn_create_clamp_nc_f32(c, c, c, p.minimo, kInf, 0, &op) == xnn_status_success &&
                xnn_setup_clamp_nc_f32(op, size_t(e.alto) * size_t(e.ancho), e.datos, s.datos, nullptr) ==
                    xnn_status_success;
        break;
    }
    if (!hecho && op) {
        xnn_delete_operator(op);
        op = nullptr;
    }
    return op;
}

bool GrafoXnnpack::Traduccion::construir(QString& error)
{
    if (!repartirMemoria()) {
        error = QStringLiteral("no hay memoria para la red de caras");
        return false;
    }
    for (Paso& p : pasos_) {
        xnn_operator* op = operador(p);
        if (!op) {
            error = QStringLiteral("XNNPACK no pudo preparar la red");
            return false;
        }
        g_.operadores_.push_back(op);
        // Packed into the operator; the translated copy is no longer needed.
        p.filtro = {};
        p.sesgo = {};
    }
    return true;
}

std::unique_ptr<GrafoXnnpack> GrafoXnnpack::crear(cv::dnn::Net& red, int ancho, int alto, QString& error)
{
    if (!xnnpackIniciado()) {
        error = QStringLiteral("XNNPACK no funciona en este procesador");
        return nullptr;
    }
    std::unique_ptr<GrafoXnnpack> g(new GrafoXnnpack());
    g->entrada_ = bloqueFlotantes(size_t(ancho) * size_t(alto) * 3);
    if (!g->entrada_) {
        error = QStringLiteral("no hay memoria para la red de caras");
        return nullptr;
    }
    try {
        Traduccion t(*g, red, ancho, alto);
        if (!t.traducir(error) || !t.construir(error))
            return nullptr;
    } catch (const cv::Exception& e) {
        error = QString::fromStdString(e.msg);
        return nullptr;
    }
    return g;
}

GrafoXnnpack::~GrafoXnnpack()
{
    for (xnn_operator* op : operadores_)
        xnn_delete_operator(op);
}

bool GrafoXnnpack::inferir(Salidas& s, QString& error)
{
    for (xnn_operator* op : operadores_)
        if (xnn_run_operator(op, nullptr) != xnn_status_success) {
            error = QStringLiteral("el detector de caras falló al ejecutar la red");
            return false;
        }
    for (int g = 0; g < 2; ++g) {
        s.puntuaciones[g] = puntuaciones_[g];
        s.cajas[g] = cajas_[g];
    }
    return true;
}

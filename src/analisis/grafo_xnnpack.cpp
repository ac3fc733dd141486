#include "analisis/grafo_xnnpack.h"

#include "analisis/red_blazeface.h"

#include <opencv2/dnn/all_layers.hpp>
#include <xnnpack.h>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
// External values: the input, then the network's four outputs.
constexpr uint32_t kIdEntrada = 0;
constexpr uint32_t kExternos = 5;

// One tensor of the graph, NHWC. `relleno`: the output of an explicit padding, which only
// the convolution after it may read (it takes the padding as its own). `reordenado`: a
// transposed or reshaped view on the way to an output, which nothing may compute on.
struct Valor {
    uint32_t id = XNN_INVALID_VALUE_ID;
    int alto = 0, ancho = 0, canales = 0;
    bool relleno = false;
    bool reordenado = false;
};

bool xnnpackIniciado()
{
    // Once for the process: it fills XNNPACK's tables of the kernels this CPU runs best.
    static const bool iniciado = xnn_initialize(nullptr) == xnn_status_success;
    return iniciado;
}

} // namespace

// Walks OpenCV's layers in their order and defines each as XNNPACK nodes. OpenCV holds the
// model NCHW; XNNPACK works NHWC, which is the model's own input and output layout, so the
// transposes around the network vanish and the weights are reordered instead.
class GrafoXnnpack::Traduccion {
public:
    Traduccion(GrafoXnnpack& g, cv::dnn::Net& red, int ancho, int alto)
        : g_(g), red_(red), ancho_(ancho), alto_(alto)
    {
    }
    ~Traduccion()
    {
        if (sg_)
            xnn_delete_subgraph(sg_);
    }
    bool traducir(QString& error);
    bool crearRuntime(int hilos, QString& error);

private:
    bool capa(int id, QString& error);
    bool convolucion(const cv::Ptr<cv::dnn::Layer>& l, const Valor& a, Valor& o);
    bool salida(int indice, const Valor& a);
    Valor nuevo(int alto, int ancho, int canales);
    uint32_t constante(std::vector<size_t> forma, std::vector<float> datos);

    GrafoXnnpack& g_;
    cv::dnn::Net& red_;
    const int ancho_, alto_;
    xnn_subgraph_t sg_ = nullptr;
    std::map<int, Valor> valores_;
    std::vector<cv::String> salidas_;
    std::vector<xnn_external_value> externos_;
    int halladas_ = 0;
};

bool GrafoXnnpack::Traduccion::traducir(QString& error)
{
    if (xnn_create_subgraph(kExternos, 0, &sg_) != xnn_status_success) {
        error = QStringLiteral("XNNPACK no pudo crear el grafo");
        return false;
    }
    const size_t forma[4] = {1, size_t(alto_), size_t(ancho_), 3};
    Valor entrada{kIdEntrada, alto_, ancho_, 3};
    if (xnn_define_tensor_value(sg_, xnn_datatype_fp32, 4, forma, nullptr, kIdEntrada, XNN_VALUE_FLAG_EXTERNAL_INPUT,
                                &entrada.id) != xnn_status_success) {
        error = QStringLiteral("XNNPACK no acepta la entrada");
        return false;
    }
    valores_[0] = entrada;
    salidas_ = red_.getUnconnectedOutLayersNames();
    for (const cv::String& nombre : red_.getLayerNames())
        if (!capa(red_.getLayerId(nombre), error))
            return false;
    if (salidas_.size() != 4 || halladas_ != 4) {
        error = QStringLiteral("las salidas del modelo no tienen la forma esperada");
        return false;
    }
    return true;
}

Valor GrafoXnnpack::Traduccion::nuevo(int alto, int ancho, int canales)
{
    const size_t forma[4] = {1, size_t(alto), size_t(ancho), size_t(canales)};
    Valor v{XNN_INVALID_VALUE_ID, alto, ancho, canales};
    xnn_define_tensor_value(sg_, xnn_datatype_fp32, 4, forma, nullptr, XNN_INVALID_VALUE_ID, 0, &v.id);
    return v;
}

uint32_t GrafoXnnpack::Traduccion::constante(std::vector<size_t> forma, std::vector<float> datos)
{
    g_.pesos_.push_back(std::move(datos));
    uint32_t id = XNN_INVALID_VALUE_ID;
    xnn_define_tensor_value(sg_, xnn_datatype_fp32, forma.size(), forma.data(), g_.pesos_.back().data(),
                            XNN_INVALID_VALUE_ID, 0, &id);
    return id;
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
    const auto hecho = [&](xnn_status estado) { return estado == xnn_status_success || desconocida(); };
    // The zero planes that widen the channels; the concatenation reading them pads instead.
    if (tipo == "Const")
        return true;
    std::vector<Valor> entradas;
    int ceros = 0;
    for (const cv::Ptr<cv::dnn::Layer>& e : red_.getLayerInputs(id)) {
        if (e->type == "Const") {
            if (entradas.empty() || e->blobs.size() != 1 || e->blobs[0].dims != 4)
                return desconocida();
            ceros += e->blobs[0].size[1];
            continue;
        }
        const auto it = valores_.find(red_.getLayerId(e->name));
        if (it == valores_.end())
            return desconocida();
        entradas.push_back(it->second);
    }
    if (entradas.empty())
        return desconocida();
    const Valor a = entradas[0];
    Valor o;
    if (tipo == "Permute" || tipo == "Reshape" || tipo == "Identity") {
        // The input's NHWC-to-NCHW transpose is XNNPACK's own layout; the heads' transposes
        // and reshapes back to NHWC become the outputs' reshape below.
        if (entradas.size() != 1 || (tipo == "Reshape" && !a.reordenado))
            return desconocida();
        o = a;
        o.reordenado = a.id != kIdEntrada;
    } else if (a.reordenado || (a.relleno && tipo != "Convolution")) {
        return desconocida();
    } else if (tipo == "Padding") {
        o = a;
        o.relleno = true;
    } else if (tipo == "Convolution") {
        if (entradas.size() != 1 || !convolucion(l, a, o))
            return desconocida();
    } else if (tipo == "ReLU") {
        const auto r = l.dynamicCast<cv::dnn::ReLULayer>();
        if (!r || r->negativeSlope != 0.0f || entradas.size() != 1)
            return desconocida();
        o = nuevo(a.alto, a.ancho, a.canales);
        if (!hecho(xnn_define_clamp(sg_, 0.0f, kInf, a.id, o.id, 0)))
            return false;
    } else if (tipo == "Eltwise") {
        // The model's only elementwise operation is the residual sum.
        const Valor& b = entradas.back();
        if (entradas.size() != 2 || ceros || b.reordenado || b.relleno || b.alto != a.alto || b.ancho != a.ancho ||
            b.canales != a.canales)
            return desconocida();
        o = nuevo(a.alto, a.ancho, a.canales);
        if (!hecho(xnn_define_add2(sg_, -kInf, kInf, a.id, b.id, o.id, 0)))
            return false;
    } else if (tipo == "Pooling") {
        const auto p = l.dynamicCast<cv::dnn::PoolingLayer>();
        if (!p || p->type != 0 || p->globalPooling || p->ceilMode || p->kernel_size.size() != 2 ||
            p->kernel_size[0] != p->kernel_size[1] || p->strides.size() != 2 || p->strides[0] != p->strides[1] ||
            std::count(p->pads_begin.begin(), p->pads_begin.end(), 0u) != long(p->pads_begin.size()) ||
            std::count(p->pads_end.begin(), p->pads_end.end(), 0u) != long(p->pads_end.size()))
            return desconocida();
        const int k = int(p->kernel_size[0]), s = int(p->strides[0]);
        o = nuevo((a.alto - k) / s + 1, (a.ancho - k) / s + 1, a.canales);
        if (!hecho(xnn_define_max_pooling_2d(sg_, 0, 0, 0, 0, k, k, s, s, 1, 1, -kInf, kInf, a.id, o.id, 0)))
            return false;
    } else if (tipo == "Concat") {
        // Channels widened with zero planes (checked zero when the model was loaded).
        const auto c = l.dynamicCast<cv::dnn::ConcatLayer>();
        if (!c || (c->axis != 1 && c->axis != -3) || entradas.size() != 1 || ceros <= 0)
            return desconocida();
        o = nuevo(a.alto, a.ancho, a.canales + ceros);
        const size_t antes[4] = {0, 0, 0, 0}, despues[4] = {0, 0, 0, size_t(ceros)};
        if (!hecho(xnn_define_static_constant_pad(sg_, antes, despues, 0.0f, a.id, o.id, 0)))
            return false;
    } else {
        return desconocida();
    }
    if (o.id == XNN_INVALID_VALUE_ID)
        return desconocida();
    valores_[id] = o;
    const auto s = std::find(salidas_.begin(), salidas_.end(), l->name);
    if (s != salidas_.end() && !salida(int(s - salidas_.begin()), o)) {
        error = QStringLiteral("las salidas del modelo no tienen la forma esperada");
        return false;
    }
    return true;
}

bool GrafoXnnpack::Traduccion::convolucion(const cv::Ptr<cv::dnn::Layer>& l, const Valor& a, Valor& o)
{
    const auto c = l.dynamicCast<cv::dnn::BaseConvolutionLayer>();
    if (!c || l->blobs.empty() || l->blobs[0].dims != 4 || l->blobs[0].type() != CV_32F ||
        c->strides.size() != 2 || c->strides[0] != c->strides[1] || c->pads_begin.size() != 2 ||
        c->pads_end.size() != 2 || std::count(c->dilations.begin(), c->dilations.end(), 1u) != 2)
        return false;
    const cv::Mat& w = l->blobs[0];
    const int salen = w.size[0], porGrupo = w.size[1], kh = w.size[2], kw = w.size[3];
    const int paso = int(c->strides[0]);
    int arriba = int(c->pads_begin[0]), izquierda = int(c->pads_begin[1]);
    int abajo = int(c->pads_end[0]), derecha = int(c->pads_end[1]);
    if (a.relleno) {
        // The padding written out before a strided convolution is TensorFlow's "same": the
        // odd pixel goes after. The convolution takes it as its own.
        if (arriba || izquierda || abajo || derecha)
            return false;
        const auto mismo = [paso](int lado, int k, int& antes, int& despues) {
            const int total = std::max(((lado + paso - 1) / paso - 1) * paso + k - lado, 0);
            antes = total / 2;
            despues = total - antes;
        };
        mismo(a.alto, kh, arriba, abajo);
        mismo(a.ancho, kw, izquierda, derecha);
    }
    std::vector<float> sesgo(size_t(salen), 0.0f);
    if (l->blobs.size() > 1) {
        const cv::Mat& b = l->blobs[1];
        if (b.total() != size_t(salen) || b.type() != CV_32F || !b.isContinuous())
            return false;
        std::copy_n(b.ptr<float>(), salen, sesgo.begin());
    }
    o = nuevo((a.alto + arriba + abajo - kh) / paso + 1, (a.ancho + izquierda + derecha - kw) / paso + 1, salen);
    const uint32_t idSesgo = constante({size_t(salen)}, std::move(sesgo));
    // OpenCV's weights are OIHW; XNNPACK's OHWI, and [1, H, W, C] for a depthwise filter.
    std::vector<float> f(w.total());
    const size_t k = size_t(kh) * size_t(kw);
    if (porGrupo == 1 && a.canales == salen && salen > 1) {
        for (int oc = 0; oc < salen; ++oc)
            for (size_t i = 0; i < k; ++i)
                f[i * size_t(salen) + size_t(oc)] = w.ptr<float>(oc, 0)[i];
        const uint32_t filtro = constante({1, size_t(kh), size_t(kw), size_t(salen)}, std::move(f));
        return xnn_define_depthwise_convolution_2d(sg_, arriba, derecha, abajo, izquierda, kh, kw, paso, paso, 1, 1, 1,
                                                   size_t(salen), -kInf, kInf, a.id, filtro, idSesgo, o.id,
                                                   0) == xnn_status_success;
    }
    if (porGrupo != a.canales)
        return false;
    for (int oc = 0; oc < salen; ++oc)
        for (int ic = 0; ic < porGrupo; ++ic)
            for (size_t i = 0; i < k; ++i)
                f[(size_t(oc) * k + i) * size_t(porGrupo) + size_t(ic)] = w.ptr<float>(oc, ic)[i];
    const uint32_t filtro = constante({size_t(salen), size_t(kh), size_t(kw), size_t(porGrupo)}, std::move(f));
    return xnn_define_convolution_2d(sg_, arriba, derecha, abajo, izquierda, kh, kw, paso, paso, 1, 1, 1,
                                     size_t(porGrupo), size_t(salen), -kInf, kInf, a.id, filtro, idSesgo, o.id,
                                     0) == xnn_status_success;
}

// A head's NHWC output read as the model's [1, anchors, 1 or 16], into the grid its stride
// and width say it belongs to.
bool GrafoXnnpack::Traduccion::salida(int indice, const Valor& a)
{
    if (a.ancho <= 0 || ancho_ % a.ancho)
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
        const int anclas = a.alto * a.ancho * rj.porCelda;
        m.create(anclas, ultima, CV_32F);
        const size_t forma[3] = {1, size_t(anclas), size_t(ultima)};
        const uint32_t id = kIdEntrada + 1 + uint32_t(indice);
        uint32_t definido = XNN_INVALID_VALUE_ID;
        if (xnn_define_tensor_value(sg_, xnn_datatype_fp32, 3, forma, nullptr, id, XNN_VALUE_FLAG_EXTERNAL_OUTPUT,
                                    &definido) != xnn_status_success ||
            xnn_define_static_reshape(sg_, 3, forma, a.id, definido, 0) != xnn_status_success)
            return false;
        externos_.push_back({definido, m.ptr<float>()});
        ++halladas_;
        return true;
    }
    return false;
}

bool GrafoXnnpack::Traduccion::crearRuntime(int hilos, QString& error)
{
    if (hilos > 1)
        g_.hilos_ = pthreadpool_create(size_t(hilos));
    externos_.push_back({kIdEntrada, g_.entrada_.data()});
    if (xnn_create_runtime_v2(sg_, g_.hilos_, 0, &g_.runtime_) != xnn_status_success ||
        xnn_setup_runtime(g_.runtime_, externos_.size(), externos_.data()) != xnn_status_success) {
        error = QStringLiteral("XNNPACK no pudo preparar el grafo");
        return false;
    }
    return true;
}

std::unique_ptr<GrafoXnnpack> GrafoXnnpack::crear(cv::dnn::Net& red, int ancho, int alto, int hilos, QString& error)
{
    if (!xnnpackIniciado()) {
        error = QStringLiteral("XNNPACK no funciona en este procesador");
        return nullptr;
    }
    std::unique_ptr<GrafoXnnpack> g(new GrafoXnnpack());
    // XNNPACK may read a few bytes past its input.
    g->entrada_.assign(size_t(ancho) * size_t(alto) * 3 + XNN_EXTRA_BYTES / sizeof(float), 0.0f);
    try {
        Traduccion t(*g, red, ancho, alto);
        if (!t.traducir(error) || !t.crearRuntime(hilos, error))
            return nullptr;
    } catch (const cv::Exception& e) {
        error = QString::fromStdString(e.msg);
        return nullptr;
    }
    return g;
}

GrafoXnnpack::~GrafoXnnpack()
{
    if (runtime_)
        xnn_delete_runtime(runtime_);
    if (hilos_)
        pthreadpool_destroy(hilos_);
}

bool GrafoXnnpack::inferir(Salidas& s, QString& error)
{
    if (xnn_invoke_runtime(runtime_) != xnn_status_success) {
        error = QStringLiteral("el detector de caras falló al ejecutar la red");
        return false;
    }
    for (int g = 0; g < 2; ++g) {
        s.puntuaciones[g] = puntuaciones_[g];
        s.cajas[g] = cajas_[g];
    }
    return true;
}

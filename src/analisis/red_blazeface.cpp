#include "analisis/red_blazeface.h"

#include "analisis/blazeface.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

namespace {

// The exact file the build fetched; anything else would silently change the results.
constexpr const char* kHuellaModelo = ZORV_HUELLA_MODELO;

// A folder of frames of many sizes must not keep a network for each; a frame size takes
// three, and the second looks two more.
constexpr size_t kMaximoRedes = 8;

// Whether the keypoints the model places with a box look like an upright face: the eyes in
// the upper half of the box and the mouth clearly below them. Bounds loose enough for
// turned and lowered heads (a camera high on a wall sees faces from above); what fails
// them is the model's guess on texture, whose keypoints collapse into one spot. Offsets
// are from the anchor centre, in input pixels, like the box centre.
bool rasgosDeCara(const float* b, float ay, float top, float alto)
{
    const float ojos = (ay + (b[5] + b[7]) / 2.0f - top) / alto;
    const float boca = (ay + b[11] - top) / alto;
    return ojos < 0.5f && boca - ojos > 0.15f;
}

// The graph reshapes its heads to the anchor count of a 256×256 input. Those four shape
// constants become -1 ("whatever is there") so the same weights run on any input whose
// sides are multiples of 32: one pass over a whole frame instead of overlapping tiles that
// compute the same pixels twice. False when the model is not laid out as expected.
bool liberarForma(std::vector<char>& modelo)
{
    for (const int64_t anclas : {512, 384})
        for (const int64_t ultima : {1, 16}) {
            const int64_t forma[3] = {1, anclas, ultima};
            const char* patron = reinterpret_cast<const char*>(forma);
            auto it = std::search(modelo.begin(), modelo.end(), patron, patron + sizeof forma);
            if (it == modelo.end() ||
                std::search(it + 1, modelo.end(), patron, patron + sizeof forma) != modelo.end())
                return false;
            const int64_t libre = -1;
            std::memcpy(&*it + sizeof(int64_t), &libre, sizeof libre);
        }
    return true;
}

} // namespace

double cpuDelHilo()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

int multiploDePaso(int v)
{
    return std::max(kPasoBlazeFace, (v + kPasoBlazeFace - 1) / kPasoBlazeFace * kPasoBlazeFace);
}

std::vector<Candidata> decodificar(const Salidas& s, int ancho, float umbral, bool exigirRasgos)
{
    // Compare raw logits, so the sigmoid runs only for the few that pass.
    const float logit = std::log(umbral / (1.0f - umbral));
    std::vector<Candidata> r;
    for (int g = 0; g < 2; ++g) {
        const RejillaBlazeFace rj = kRejillasBlazeFace[g];
        const int columnas = ancho / rj.paso;
        const float* p = s.puntuaciones[g].ptr<float>();
        const float* c = s.cajas[g].ptr<float>();
        const int n = s.puntuaciones[g].rows;
        for (int i = 0; i < n; ++i) {
            if (!(p[i] > logit))
                continue;
            const int celda = i / rj.porCelda;
            const float paso = static_cast<float>(rj.paso);
            const float* b = c + static_cast<ptrdiff_t>(i) * 16;
            const float ax = (static_cast<float>(celda % columnas) + 0.5f) * paso;
            const float ay = (static_cast<float>(celda / columnas) + 0.5f) * paso;
            const float cx = ax + b[0], cy = ay + b[1];
            const float w = b[2], h = b[3];
            if (!(w > 0.0f && h > 0.0f))
                continue;
            if (exigirRasgos && !rasgosDeCara(b, ay, cy - h / 2, h))
                continue;
            const float z = std::clamp(p[i], -80.0f, 80.0f);
            r.push_back({QRectF(cx - w / 2, cy - h / 2, w, h), 1.0f / (1.0f + std::exp(-z))});
        }
    }
    return r;
}

RedBlazeFace::RedBlazeFace(QStringList rutas, MotorRed preferido)
    : rutas_(std::move(rutas))
    , motor_(preferido)
{
}

bool RedBlazeFace::cargar()
{
    if (intentada_)
        return errorCarga_.isEmpty();
    intentada_ = true;
    QString ruta;
    for (const QString& r : rutas_)
        if (QFileInfo(r).isFile()) {
            ruta = r;
            break;
        }
    if (ruta.isEmpty()) {
        errorCarga_ = QStringLiteral("no se encuentra el modelo de detección de caras (%1)")
                          .arg(QString::fromLatin1(kNombreModeloCaras));
        return false;
    }
    QFile f(ruta);
    const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    if (QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()) !=
        QLatin1String(kHuellaModelo)) {
        errorCarga_ = QStringLiteral("el modelo de detección de caras no es el esperado: %1").arg(ruta);
        return false;
    }
    modelo_.assign(bytes.begin(), bytes.end());
    if (!liberarForma(modelo_)) {
        errorCarga_ = QStringLiteral("el modelo de detección de caras no tiene la forma esperada");
        return false;
    }
    QString error;
    if (!red(kEntradaBlazeFace, kEntradaBlazeFace, error)) {
        errorCarga_ = error;
        return false;
    }
    if (motor_ == MotorRed::xnnpack) {
        try {
            plantilla_ = leerRed(kEntradaBlazeFace, kEntradaBlazeFace);
            grafo(kEntradaBlazeFace, kEntradaBlazeFace);
        } catch (const cv::Exception& e) {
            motor_ = MotorRed::opencv;
            motivoOpenCV_ = QString::fromStdString(e.msg);
        }
    }
    return true;
}

// The model read and its constant planes sized to the input; throws cv::Exception.
cv::dnn::Net RedBlazeFace::leerRed(int ancho, int alto)
{
    cv::dnn::Net n = cv::dnn::readNetFromONNX(modelo_.data(), modelo_.size());
    n.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
    n.setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
    // The graph widens its channels by appending constant zero planes sized for a
    // 256×256 input; they are resized to this input (1/8 and 1/16 of its sides).
    int constantes = 0;
    for (const cv::String& nombre : n.getLayerNames()) {
        const int id = n.getLayerId(nombre);
        const cv::Ptr<cv::dnn::Layer> capa = n.getLayer(id);
        if (capa->type != "Const")
            continue;
        const cv::Mat& b = capa->blobs.empty() ? cv::Mat() : capa->blobs[0];
        if (b.dims != 4 || b.size[0] != 1 || b.size[2] <= 0 || kEntradaBlazeFace % b.size[2] != 0 ||
            cv::countNonZero(b.reshape(1, 1)) != 0)
            throw cv::Exception(cv::Error::StsBadArg, "constante inesperada", "", "", 0);
        const int f = kEntradaBlazeFace / b.size[2];
        n.setParam(id, 0, cv::Mat(std::vector<int>{1, b.size[1], alto / f, ancho / f}, CV_32F, cv::Scalar(0)));
        ++constantes;
    }
    if (n.empty() || n.getUnconnectedOutLayersNames().size() != 4 || constantes != 2)
        throw cv::Exception(cv::Error::StsBadArg, "forma inesperada", "", "", 0);
    return n;
}

// XNNPACK's graph for this input size; null, with OpenCV's DNN the engine from then on, when
// it cannot be built.
GrafoXnnpack* RedBlazeFace::grafo(int ancho, int alto)
{
    const auto clave = std::make_pair(ancho, alto);
    if (auto it = grafos_.find(clave); it != grafos_.end())
        return it->second.get();
    if (grafos_.size() >= kMaximoRedes)
        grafos_.clear();
    std::unique_ptr<GrafoXnnpack> g = GrafoXnnpack::crear(plantilla_, ancho, alto, motivoOpenCV_);
    if (!g) {
        motor_ = MotorRed::opencv;
        grafos_.clear();
        return nullptr;
    }
    return grafos_.emplace(clave, std::move(g)).first->second.get();
}

cv::dnn::Net* RedBlazeFace::red(int ancho, int alto, QString& error)
{
    const auto clave = std::make_pair(ancho, alto);
    if (auto it = redes_.find(clave); it != redes_.end())
        return &it->second;
    if (redes_.size() >= kMaximoRedes) {
        redes_.clear();
        entradas_.clear();
    }
    try {
        cv::dnn::Net n = leerRed(ancho, alto);
        return &redes_.emplace(clave, std::move(n)).first->second;
    } catch (const cv::Exception& e) {
        error = QStringLiteral("no se pudo cargar el modelo de detección de caras: %1")
                    .arg(QString::fromStdString(e.msg));
        return nullptr;
    }
}

bool RedBlazeFace::inferir(const cv::Mat& lienzo, Salidas& s, QString& error)
{
    GrafoXnnpack* g = motor_ == MotorRed::xnnpack ? grafo(lienzo.cols, lienzo.rows) : nullptr;
    if (!g)
        return inferirOpenCV(lienzo, s, error);
    // NHWC, RGB scaled to [-1, 1]: the layout and range the model was trained with.
    cv::Mat vista(lienzo.rows, lienzo.cols, CV_32FC3, g->entrada());
    lienzo.convertTo(vista, CV_32FC3, 1.0 / 127.5, -1.0);
    const double antes = cpuDelHilo();
    if (!g->inferir(s, error))
        return false;
    segundos_ += cpuDelHilo() - antes;
    ++inferencias_;
    return true;
}

bool RedBlazeFace::inferirOpenCV(const cv::Mat& lienzo, Salidas& s, QString& error)
{
    const int w = lienzo.cols, h = lienzo.rows;
    cv::dnn::Net* n = red(w, h, error);
    if (!n)
        return false;
    cv::Mat& entrada = entradas_[std::make_pair(w, h)];
    if (entrada.empty())
        entrada.create(std::vector<int>{1, h, w, 3}, CV_32F);
    // NHWC, RGB scaled to [-1, 1]: the layout and range the model was trained with.
    cv::Mat vista(h, w, CV_32FC3, entrada.ptr<float>());
    lienzo.convertTo(vista, CV_32FC3, 1.0 / 127.5, -1.0);
    std::vector<cv::Mat> outs;
    const double antes = cpuDelHilo();
    try {
        n->setInput(entrada);
        n->forward(outs, n->getUnconnectedOutLayersNames());
    } catch (const cv::Exception& e) {
        error = QStringLiteral("el detector de caras falló: %1").arg(QString::fromStdString(e.msg));
        return false;
    }
    segundos_ += cpuDelHilo() - antes;
    ++inferencias_;
    // Told apart by shape rather than by name, which the conversion tools tend to change.
    const int anclas[2] = {(w / 16) * (h / 16) * 2, (w / 32) * (h / 32) * 6};
    s = Salidas();
    int hallados = 0;
    for (const cv::Mat& m : outs) {
        if (m.dims != 3 || m.size[0] != 1 || !m.isContinuous())
            continue;
        const int g = m.size[1] == anclas[0] ? 0 : m.size[1] == anclas[1] ? 1 : -1;
        if (g < 0 || (m.size[2] != 1 && m.size[2] != 16))
            continue;
        (m.size[2] == 1 ? s.puntuaciones[g] : s.cajas[g]) = m.reshape(1, m.size[1]);
        ++hallados;
    }
    if (hallados != 4 || s.puntuaciones[0].empty() || s.puntuaciones[1].empty() || s.cajas[0].empty() ||
        s.cajas[1].empty()) {
        error = QStringLiteral("el modelo de detección de caras no tiene la forma esperada");
        return false;
    }
    return true;
}

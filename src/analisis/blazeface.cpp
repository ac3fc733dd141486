#include "analisis/blazeface.h"

#include "analisis/supresion.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/dnn.hpp>
#include <opencv2/imgproc.hpp>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <utility>

namespace {

// The side the model was trained on; its box offsets are in pixels of such an input.
constexpr int kEntrada = 256;
// The coarsest stride of the network: every input side is a multiple of it.
constexpr int kPaso = 32;
// Largest input block of a pyramid level, so a 4K or 8K frame does not need gigabytes of
// intermediate layers; a 1080p frame at 2/3 (1280×720) is one block.
constexpr int kBloqueAncho = 1536;
constexpr int kBloqueAlto = 1024;
// Blocks of one level overlap by this many input pixels: more than the widest box kept
// from a level, so such a face lies whole in some block.
constexpr int kSolapeBloques = 128;
// The exact file the build fetched; anything else would silently change the results.
constexpr const char* kHuellaModelo = ZORV_HUELLA_MODELO;

// The model's anchor grids, in output order: stride 16 with 2 anchors a cell, stride 32
// with 6.
struct Rejilla {
    int paso;
    int porCelda;
};
constexpr Rejilla kRejillas[2] = {{16, 2}, {32, 6}};

// Scores and boxes of one grid: [1, n, 1] and [1, n, 16].
struct Salidas {
    cv::Mat puntuaciones[2];
    cv::Mat cajas[2];
};

int multiploDePaso(int v)
{
    return std::max(kPaso, (v + kPaso - 1) / kPaso * kPaso);
}

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

// Candidates in input pixels (origin top-left) of a `ancho` pixels wide input.
std::vector<Candidata> decodificar(const Salidas& s, int ancho, float umbral, bool exigirRasgos)
{
    // Compare raw logits, so the sigmoid runs only for the few that pass.
    const float logit = std::log(umbral / (1.0f - umbral));
    std::vector<Candidata> r;
    for (int g = 0; g < 2; ++g) {
        const Rejilla rj = kRejillas[g];
        const int columnas = ancho / rj.paso;
        const float* p = s.puntuaciones[g].ptr<float>();
        const float* c = s.cajas[g].ptr<float>();
        const int n = s.puntuaciones[g].size[1];
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

QStringList rutasModeloCaras()
{
    const QString nombre = QString::fromLatin1(kNombreModeloCaras);
    const QString yo = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    QStringList rutas;
    if (!yo.isEmpty())
        rutas << QFileInfo(yo).dir().filePath(nombre);
    rutas << QDir(QStringLiteral(ZORV_DATOS_INSTALADOS)).filePath(nombre);
    return rutas;
}

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

struct DetectorBlazeFace::Impl {
    AjustesBlazeFace a;
    QStringList rutas;
    bool intentada = false;
    QString errorCarga;
    std::vector<char> modelo;
    // One network per input size: each keeps its layers allocated for that size.
    std::map<std::pair<int, int>, cv::dnn::Net> redes;
    long inferencias = 0;

    // The frame being analysed, as RGB, and what its pyramid levels found (frame pixels),
    // shared by the five regions of the frame.
    qint64 claveImagen = 0;
    QImage rgb;
    cv::Mat pixeles;
    bool fotogramaOk = false;
    QString errorFotograma;
    std::vector<Candidata> delFotograma;

    // Reused buffers: the scaled picture, the padded 8-bit input and the network's float input.
    cv::Mat escalada;
    cv::Mat lienzo;
    cv::Mat entrada;

    bool cargar();
    cv::dnn::Net* red(int ancho, int alto, QString& error);
    bool inferir(const cv::Mat& lienzo8, Salidas& s, QString& error);
    bool analizar(const cv::Mat& lienzo8, QPointF desplazamiento, double escala, QPointF base,
                  double maximo, std::vector<Candidata>& out, QString& error);
    void prepararImagen(const QImage& imagen);
    bool nivel(double escala, std::vector<Candidata>& out, QString& error);
    bool pasadaGruesa(const QRect& region, std::vector<Candidata>& out, QString& error);
    float umbralPropuestas() const
    {
        return a.verificar ? std::min({a.umbral, a.umbralPropuestas, a.umbralPropuestasPequenas}) : a.umbral;
    }
    bool esPequena(const QRectF& caja) const { return std::max(caja.width(), caja.height()) < a.anchoPequenas; }
    bool confirmar(std::vector<Candidata>& candidatas, QString& error);
    bool puntuarRecorte(const QRectF& caja, int lado, bool espejo, Candidata& vista, QString& error);
};

bool DetectorBlazeFace::Impl::cargar()
{
    if (intentada)
        return errorCarga.isEmpty();
    intentada = true;
    QString ruta;
    for (const QString& r : rutas)
        if (QFileInfo(r).isFile()) {
            ruta = r;
            break;
        }
    if (ruta.isEmpty()) {
        errorCarga = QStringLiteral("no se encuentra el modelo de detección de caras (%1)")
                         .arg(QString::fromLatin1(kNombreModeloCaras));
        return false;
    }
    QFile f(ruta);
    const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    if (QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()) !=
        QLatin1String(kHuellaModelo)) {
        errorCarga = QStringLiteral("el modelo de detección de caras no es el esperado: %1").arg(ruta);
        return false;
    }
    modelo.assign(bytes.begin(), bytes.end());
    if (!liberarForma(modelo)) {
        errorCarga = QStringLiteral("el modelo de detección de caras no tiene la forma esperada");
        return false;
    }
    QString error;
    if (!red(kEntrada, kEntrada, error)) {
        errorCarga = error;
        return false;
    }
    return true;
}

cv::dnn::Net* DetectorBlazeFace::Impl::red(int ancho, int alto, QString& error)
{
    const auto clave = std::make_pair(ancho, alto);
    if (auto it = redes.find(clave); it != redes.end())
        return &it->second;
    // A folder of frames of many sizes must not keep a network for each.
    if (redes.size() >= 8)
        redes.clear();
    try {
        cv::dnn::Net n = cv::dnn::readNetFromONNX(modelo.data(), modelo.size());
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
            if (b.dims != 4 || b.size[0] != 1 || b.size[2] <= 0 || kEntrada % b.size[2] != 0 ||
                cv::countNonZero(b.reshape(1, 1)) != 0)
                throw cv::Exception(cv::Error::StsBadArg, "constante inesperada", "", "", 0);
            const int f = kEntrada / b.size[2];
            n.setParam(id, 0, cv::Mat(std::vector<int>{1, b.size[1], alto / f, ancho / f}, CV_32F,
                                      cv::Scalar(0)));
            ++constantes;
        }
        if (n.empty() || n.getUnconnectedOutLayersNames().size() != 4 || constantes != 2)
            throw cv::Exception(cv::Error::StsBadArg, "forma inesperada", "", "", 0);
        return &redes.emplace(clave, std::move(n)).first->second;
    } catch (const cv::Exception& e) {
        error = QStringLiteral("no se pudo cargar el modelo de detección de caras: %1")
                    .arg(QString::fromStdString(e.msg));
        return nullptr;
    }
}

bool DetectorBlazeFace::Impl::inferir(const cv::Mat& lienzo8, Salidas& s, QString& error)
{
    const int w = lienzo8.cols, h = lienzo8.rows;
    cv::dnn::Net* n = red(w, h, error);
    if (!n)
        return false;
    if (entrada.dims != 4 || entrada.size[1] != h || entrada.size[2] != w)
        entrada.create(std::vector<int>{1, h, w, 3}, CV_32F);
    // NHWC, RGB scaled to [-1, 1]: the layout and range the model was trained with.
    cv::Mat vista(h, w, CV_32FC3, entrada.ptr<float>());
    lienzo8.convertTo(vista, CV_32FC3, 1.0 / 127.5, -1.0);
    std::vector<cv::Mat> outs;
    try {
        n->setInput(entrada);
        n->forward(outs, n->getUnconnectedOutLayersNames());
    } catch (const cv::Exception& e) {
        error = QStringLiteral("el detector de caras falló: %1").arg(QString::fromStdString(e.msg));
        return false;
    }
    ++inferencias;
    // Told apart by shape rather than by name, which the conversion tools tend to change.
    const int anclas[2] = {(w / 16) * (h / 16) * 2, (w / 32) * (h / 32) * 6};
    int hallados = 0;
    for (const cv::Mat& m : outs) {
        if (m.dims != 3 || m.size[0] != 1 || !m.isContinuous())
            continue;
        const int g = m.size[1] == anclas[0] ? 0 : m.size[1] == anclas[1] ? 1 : -1;
        if (g < 0)
            continue;
        if (m.size[2] == 1) {
            s.puntuaciones[g] = m;
            ++hallados;
        } else if (m.size[2] == 16) {
            s.cajas[g] = m;
            ++hallados;
        }
    }
    if (hallados != 4 || s.puntuaciones[0].empty() || s.puntuaciones[1].empty() ||
        s.cajas[0].empty() || s.cajas[1].empty()) {
        error = QStringLiteral("el modelo de detección de caras no tiene la forma esperada");
        return false;
    }
    return true;
}

void DetectorBlazeFace::Impl::prepararImagen(const QImage& imagen)
{
    if (imagen.cacheKey() == claveImagen && !rgb.isNull())
        return;
    claveImagen = imagen.cacheKey();
    rgb = imagen.convertToFormat(QImage::Format_RGB888);
    pixeles = cv::Mat(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()),
                      static_cast<size_t>(rgb.bytesPerLine()));
    // The pyramid levels cover the whole frame once; a corner crop takes what they found
    // inside it, since the same pixels at the same scale give the same answer.
    delFotograma.clear();
    errorFotograma.clear();
    fotogramaOk = true;
    const auto fallo = [&] {
        fotogramaOk = false;
        delFotograma.clear();
    };
    for (const double escala : {a.escalaFina, a.escalaFina / 2.0})
        if (!nivel(escala, delFotograma, errorFotograma))
            return fallo();
    if (!pasadaGruesa(QRect(0, 0, pixeles.cols, pixeles.rows), delFotograma, errorFotograma))
        return fallo();
    delFotograma = suprimirPonderado(std::move(delFotograma), a.solapeSupresion);
    if (!confirmar(delFotograma, errorFotograma))
        return fallo();
}

// Each proposal seen again on its own: a square around it with the head's surroundings,
// scaled so the face fills a quarter of a small input's side, as it is and mirrored. A small
// proposal gets a larger input, so its face is drawn upscaled to the size the network sees
// best instead of the 32 pixels of the small input, where it barely sees faces. A face
// keeps its score at that size and in the mirror; texture that happened to look like a face
// at one scale and offset mostly does not. The score becomes the mean of the pyramid's score
// and the two looks (or of the looks alone, `contarPiramide` off), and the box the mean of
// the looks' boxes, drawn at a finer scale than a small face's pyramid level.
bool DetectorBlazeFace::Impl::confirmar(std::vector<Candidata>& candidatas, QString& error)
{
    if (!a.verificar)
        return true;
    std::vector<Candidata> r;
    int vistas = 0;
    for (const Candidata& propuesta : candidatas) {
        const bool pequena = esPequena(propuesta.caja);
        if (propuesta.puntuacion < (pequena ? a.umbralPropuestasPequenas : a.umbralPropuestas))
            continue;
        if (vistas++ >= a.maximoVerificadas)
            break;
        const int lado = pequena ? a.ladoVerificacionPequenas : a.ladoVerificacion;
        Candidata vista, espejo;
        if (!puntuarRecorte(propuesta.caja, lado, false, vista, error) ||
            !puntuarRecorte(propuesta.caja, lado, true, espejo, error))
            return false;
        const float p = a.contarPiramide ? (propuesta.puntuacion + vista.puntuacion + espejo.puntuacion) / 3.0f
                                         : (vista.puntuacion + espejo.puntuacion) / 2.0f;
        if (p < (pequena ? a.umbralPequenas : a.umbral))
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
    candidatas = suprimirPonderado(std::move(r), a.solapeSupresion);
    return true;
}

bool DetectorBlazeFace::Impl::puntuarRecorte(const QRectF& caja, int lado, bool espejo, Candidata& vista,
                                             QString& error)
{
    const double ancho = std::max(caja.width(), caja.height()) * a.contextoVerificacion;
    const double escala = lado / ancho;
    const QPointF origen = caja.center() - QPointF(ancho / 2, ancho / 2);
    // The crop as an affine map from frame to input pixels; outside the frame stays grey.
    const cv::Matx23d m(escala, 0, -origen.x() * escala, 0, escala, -origen.y() * escala);
    lienzo.create(lado, lado, CV_8UC3);
    if (escala < 1.0) {
        // Shrinking: average the pixels first, as the pyramid levels do, or grain aliases.
        const cv::Rect fuente = cv::Rect(int(std::floor(origen.x())), int(std::floor(origen.y())),
                                         int(std::ceil(ancho)) + 1, int(std::ceil(ancho)) + 1) &
                                cv::Rect(0, 0, pixeles.cols, pixeles.rows);
        if (fuente.empty()) {
            vista = {QRectF(), 0.0f};
            return true;
        }
        cv::resize(pixeles(fuente), escalada, cv::Size(), escala, escala, cv::INTER_AREA);
        const cv::Matx23d n(1, 0, (fuente.x - origen.x()) * escala, 0, 1, (fuente.y - origen.y()) * escala);
        cv::warpAffine(escalada, lienzo, n, lienzo.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                       cv::Scalar(128, 128, 128));
    } else {
        cv::warpAffine(pixeles, lienzo, m, lienzo.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                       cv::Scalar(128, 128, 128));
    }
    // The same smoothing as the pyramid, in frame pixels, so night grain stays grain.
    if (a.suavizado > 0.0 && a.suavizado * escala >= 0.3)
        cv::GaussianBlur(lienzo, lienzo, cv::Size(0, 0), a.suavizado * escala);
    if (espejo)
        cv::flip(lienzo, lienzo, 1);
    Salidas s;
    if (!inferir(lienzo, s, error))
        return false;
    vista = {QRectF(), 0.0f};
    const QPointF centro(lado / 2.0, lado / 2.0);
    const double esperado = lado / a.contextoVerificacion;
    for (const Candidata& c : decodificar(s, lado, 0.05f, a.exigirRasgos)) {
        // The proposal's face: near the centre and of about the expected size.
        const QPointF d = c.caja.center() - centro;
        if (std::hypot(d.x(), d.y()) > 0.35 * esperado || c.caja.width() < 0.5 * esperado ||
            c.caja.width() > 2.0 * esperado || c.puntuacion <= vista.puntuacion)
            continue;
        QRectF k = c.caja;
        if (espejo)
            k.moveLeft(lado - k.right());
        vista = {QRectF(origen + k.topLeft() / escala, k.size() / escala), c.puntuacion};
    }
    return true;
}

bool DetectorBlazeFace::Impl::nivel(double escala, std::vector<Candidata>& out, QString& error)
{
    const int w = std::max(1, static_cast<int>(std::lround(pixeles.cols * escala)));
    const int h = std::max(1, static_cast<int>(std::lround(pixeles.rows * escala)));
    // Not finer than the coarse pass over the whole picture: that one sees it already.
    if (std::max(w, h) <= kEntrada)
        return true;
    cv::resize(pixeles, escalada, cv::Size(w, h), 0, 0, cv::INTER_AREA);
    if (a.suavizado > 0.0 && a.suavizado * escala >= 0.3)
        cv::GaussianBlur(escalada, escalada, cv::Size(0, 0), a.suavizado * escala);
    int bw = 0, bh = 0;
    const std::vector<int> xs = bloques(w, kBloqueAncho, bw);
    const std::vector<int> ys = bloques(h, kBloqueAlto, bh);
    const double maximo = a.anchoMaximo * kEntrada;
    for (const int y : ys)
        for (const int x : xs) {
            // Beyond the picture the input stays mid grey (0 after scaling).
            lienzo.create(bh, bw, CV_8UC3);
            lienzo.setTo(cv::Scalar(128, 128, 128));
            const cv::Rect trozo(x, y, std::min(bw, w - x), std::min(bh, h - y));
            escalada(trozo).copyTo(lienzo(cv::Rect(0, 0, trozo.width, trozo.height)));
            if (!analizar(lienzo, QPointF(x, y), escala, QPointF(), maximo, out, error))
                return false;
        }
    return true;
}

bool DetectorBlazeFace::Impl::pasadaGruesa(const QRect& region, std::vector<Candidata>& out, QString& error)
{
    // The whole region shrunk to fit the model's own side, aspect kept: the network was
    // trained on undistorted faces. The input is cut to the multiple of 32 that holds it.
    const double escala = double(kEntrada) / std::max(region.width(), region.height());
    const int w = std::clamp(static_cast<int>(std::lround(region.width() * escala)), 1, kEntrada);
    const int h = std::clamp(static_cast<int>(std::lround(region.height() * escala)), 1, kEntrada);
    lienzo.create(multiploDePaso(h), multiploDePaso(w), CV_8UC3);
    lienzo.setTo(cv::Scalar(128, 128, 128));
    cv::resize(pixeles(cv::Rect(region.x(), region.y(), region.width(), region.height())),
               lienzo(cv::Rect(0, 0, w, h)), cv::Size(w, h), 0, 0, cv::INTER_AREA);
    return analizar(lienzo, QPointF(), escala, region.topLeft(),
                    std::numeric_limits<double>::infinity(), out, error);
}

// One network run over `lienzo8` and its boxes in frame pixels: an input box at k lands
// at base + (desplazamiento + k) / escala. Boxes wider than `maximo` input pixels are left out.
bool DetectorBlazeFace::Impl::analizar(const cv::Mat& lienzo8, QPointF desplazamiento, double escala,
                                       QPointF base, double maximo, std::vector<Candidata>& out,
                                       QString& error)
{
    Salidas s;
    if (!inferir(lienzo8, s, error))
        return false;
    for (const Candidata& c : decodificar(s, lienzo8.cols, umbralPropuestas(), a.exigirRasgos)) {
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

DetectorBlazeFace::DetectorBlazeFace(AjustesBlazeFace ajustes, QStringList rutas)
    : d(std::make_unique<Impl>())
{
    d->a = ajustes;
    d->rutas = std::move(rutas);
    // The 1280×736 pass of a 1080p frame takes 265 ms on one thread and 140 ms on two
    // (shared 2-core machine), so OpenCV's own threads already use both cores; two networks
    // on two threads of ours, each with half the frame, could gain at most that 5 % and
    // would compute the overlap between the halves twice. No more than four threads: the
    // player is decoding video beside us. Batching several inputs is not needed now that
    // one input holds the whole frame.
    cv::setNumThreads(std::clamp(QThread::idealThreadCount(), 1, 4));
}

DetectorBlazeFace::~DetectorBlazeFace() = default;

QString DetectorBlazeFace::preparar()
{
    return d->cargar() ? QString() : d->errorCarga;
}

long DetectorBlazeFace::inferencias() const
{
    return d->inferencias;
}

bool DetectorBlazeFace::candidatas(const QImage& imagen, const QRect& region, std::vector<Candidata>& cajas,
                                   QString& error)
{
    cajas.clear();
    if (!d->cargar()) {
        error = d->errorCarga;
        return false;
    }
    d->prepararImagen(imagen);
    if (!d->fotogramaOk) {
        error = d->errorFotograma;
        return false;
    }
    const QRect fotograma(0, 0, d->rgb.width(), d->rgb.height());
    const QRect dentro = region.intersected(fotograma);
    if (dentro.isEmpty())
        return true;
    const QRectF marco(dentro);
    std::vector<Candidata> todas;
    for (const Candidata& c : d->delFotograma)
        if (marco.contains(c.caja.center()))
            todas.push_back(c);
    if (d->a.gruesaEnCadaRegion && dentro != fotograma) {
        std::vector<Candidata> propias;
        if (!d->pasadaGruesa(dentro, propias, error) || !d->confirmar(propias, error))
            return false;
        todas.insert(todas.end(), propias.begin(), propias.end());
    }
    for (Candidata c : suprimirPonderado(std::move(todas), d->a.solapeSupresion)) {
        // The model boxes brows to chin; the blur must also hide forehead, hair line and ears.
        const QRectF k = c.caja;
        c.caja = k.adjusted(-d->a.ensancheLados * k.width(), -d->a.ensancheArriba * k.height(),
                            d->a.ensancheLados * k.width(), d->a.ensancheAbajo * k.height())
                     .intersected(marco);
        if (!c.caja.isEmpty())
            cajas.push_back(c);
    }
    return true;
}

ResultadoDeteccion DetectorBlazeFace::detectar(const QImage& imagen, const QRect& region)
{
    ResultadoDeteccion r;
    std::vector<Candidata> cajas;
    if (!candidatas(imagen, region, cajas, r.error)) {
        r.ok = false;
        return r;
    }
    const QRectF marco(region.intersected(QRect(0, 0, imagen.width(), imagen.height())));
    for (const Candidata& c : cajas) {
        const QRectF& k = c.caja;
        // Normalised to the region, origin at its lower-left corner.
        r.cajas.push_back(QRectF((k.x() - marco.x()) / marco.width(),
                                 1.0 - (k.bottom() - marco.y()) / marco.height(),
                                 k.width() / marco.width(), k.height() / marco.height()));
    }
    return r;
}

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
#include <map>
#include <utility>

namespace {

constexpr int kEntrada = 256;
// The exact file the build fetched; anything else would silently change the results.
constexpr const char* kHuellaModelo = "427cbbe0fc41448d09e1dc9cfabe2423d997cf2faaeab91fadd09a510b63b8e2";

// The model's anchor grids, in output order: 16×16 cells with 2 anchors, 8×8 with 6.
struct Rejilla {
    int lado;
    int porCelda;
};
constexpr Rejilla kRejillas[2] = {{16, 2}, {8, 6}};

// Scores and boxes of one grid: [1, n, 1] and [1, n, 16].
struct Salidas {
    cv::Mat puntuaciones[2];
    cv::Mat cajas[2];
};

// Candidates in network input pixels (0..256, origin top-left).
std::vector<Candidata> decodificar(const Salidas& s, float umbral)
{
    // Compare raw logits, so the sigmoid runs only for the few that pass.
    const float logit = std::log(umbral / (1.0f - umbral));
    std::vector<Candidata> r;
    for (int g = 0; g < 2; ++g) {
        const Rejilla rj = kRejillas[g];
        const float* p = s.puntuaciones[g].ptr<float>();
        const float* c = s.cajas[g].ptr<float>();
        const int n = rj.lado * rj.lado * rj.porCelda;
        for (int i = 0; i < n; ++i) {
            if (!(p[i] > logit))
                continue;
            const int celda = i / rj.porCelda;
            const float paso = static_cast<float>(kEntrada) / static_cast<float>(rj.lado);
            const float* b = c + static_cast<ptrdiff_t>(i) * 16;
            const float cx = (static_cast<float>(celda % rj.lado) + 0.5f) * paso + b[0];
            const float cy = (static_cast<float>(celda / rj.lado) + 0.5f) * paso + b[1];
            const float w = b[2], h = b[3];
            if (!(w > 0.0f && h > 0.0f))
                continue;
            const float z = std::clamp(p[i], -80.0f, 80.0f);
            r.push_back({QRectF(cx - w / 2, cy - h / 2, w, h), 1.0f / (1.0f + std::exp(-z))});
        }
    }
    return r;
}

QString huella(const QString& ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return QString::fromLatin1(h.result().toHex());
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
    cv::dnn::Net red;
    std::vector<cv::String> nombresSalida;
    long inferencias = 0;

    // The frame being analysed, as RGB; regions of one frame share tiles through `teselas`.
    qint64 claveImagen = 0;
    QImage rgb;
    cv::Mat pixeles;
    std::vector<int> xs, ys;
    std::map<std::pair<int, int>, std::vector<Candidata>> teselas;

    // Reused buffers: one 256×256 picture and the network's NHWC float input.
    cv::Mat reducida;
    cv::Mat entrada;

    bool cargar();
    bool inferir(const cv::Mat& trozo256, Salidas& s, QString& error);
    void prepararImagen(const QImage& imagen);
    bool tesela(int x, int y, std::vector<Candidata>& out, QString& error);
    bool pasadaGruesa(const QRect& region, std::vector<Candidata>& out, QString& error);
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
    if (huella(ruta) != QLatin1String(kHuellaModelo)) {
        errorCarga = QStringLiteral("el modelo de detección de caras no es el esperado: %1").arg(ruta);
        return false;
    }
    try {
        red = cv::dnn::readNetFromONNX(QFile::encodeName(ruta).toStdString());
        red.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
        red.setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
        nombresSalida = red.getUnconnectedOutLayersNames();
    } catch (const cv::Exception& e) {
        errorCarga = QStringLiteral("no se pudo cargar el modelo de detección de caras: %1")
                         .arg(QString::fromStdString(e.msg));
        return false;
    }
    if (red.empty() || nombresSalida.size() != 4) {
        errorCarga = QStringLiteral("el modelo de detección de caras no tiene la forma esperada");
        return false;
    }
    return true;
}

bool DetectorBlazeFace::Impl::inferir(const cv::Mat& trozo256, Salidas& s, QString& error)
{
    if (entrada.empty())
        entrada.create(std::vector<int>{1, kEntrada, kEntrada, 3}, CV_32F);
    // NHWC, RGB scaled to [-1, 1]: the layout and range the model was trained with.
    cv::Mat vista(kEntrada, kEntrada, CV_32FC3, entrada.ptr<float>());
    trozo256.convertTo(vista, CV_32FC3, 1.0 / 127.5, -1.0);
    std::vector<cv::Mat> outs;
    try {
        red.setInput(entrada);
        red.forward(outs, nombresSalida);
    } catch (const cv::Exception& e) {
        error = QStringLiteral("el detector de caras falló: %1").arg(QString::fromStdString(e.msg));
        return false;
    }
    ++inferencias;
    // Told apart by shape rather than by name, which the conversion tools tend to change.
    int hallados = 0;
    for (const cv::Mat& m : outs) {
        if (m.dims != 3 || m.size[0] != 1)
            continue;
        const int g = m.size[1] == 512 ? 0 : m.size[1] == 384 ? 1 : -1;
        if (g < 0 || !m.isContinuous())
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
    // One grid for the whole frame: a corner crop uses the grid tiles that lie inside it,
    // which are the very same pixels at the same scale, so each is run once per frame.
    xs = posicionesTeselas(rgb.width(), a.lado, a.solape);
    ys = posicionesTeselas(rgb.height(), a.lado, a.solape);
    teselas.clear();
}

bool DetectorBlazeFace::Impl::tesela(int x, int y, std::vector<Candidata>& out, QString& error)
{
    const auto clave = std::make_pair(x, y);
    auto it = teselas.find(clave);
    if (it == teselas.end()) {
        cv::resize(pixeles(cv::Rect(x, y, a.lado, a.lado)), reducida, cv::Size(kEntrada, kEntrada), 0, 0,
                   cv::INTER_AREA);
        Salidas s;
        if (!inferir(reducida, s, error))
            return false;
        const double escala = double(a.lado) / kEntrada;
        std::vector<Candidata> propias;
        for (const Candidata& c : decodificar(s, a.umbral)) {
            if (c.caja.width() > a.anchoMaximoEnTesela * kEntrada)
                continue;
            const QRectF k = c.caja;
            propias.push_back({QRectF(x + k.x() * escala, y + k.y() * escala, k.width() * escala,
                                      k.height() * escala),
                               c.puntuacion});
        }
        it = teselas.emplace(clave, std::move(propias)).first;
    }
    out.insert(out.end(), it->second.begin(), it->second.end());
    return true;
}

bool DetectorBlazeFace::Impl::pasadaGruesa(const QRect& region, std::vector<Candidata>& out, QString& error)
{
    // The whole region shrunk to fit the input, aspect kept: the network was trained on
    // undistorted faces. The rest of the input stays at 0, mid grey after scaling.
    const double escala = double(kEntrada) / std::max(region.width(), region.height());
    const int w = std::clamp(static_cast<int>(std::lround(region.width() * escala)), 1, kEntrada);
    const int h = std::clamp(static_cast<int>(std::lround(region.height() * escala)), 1, kEntrada);
    cv::Mat lienzo(kEntrada, kEntrada, CV_8UC3, cv::Scalar(128, 128, 128));
    cv::resize(pixeles(cv::Rect(region.x(), region.y(), region.width(), region.height())),
               lienzo(cv::Rect(0, 0, w, h)), cv::Size(w, h), 0, 0, cv::INTER_AREA);
    Salidas s;
    if (!inferir(lienzo, s, error))
        return false;
    for (const Candidata& c : decodificar(s, a.umbral)) {
        const QRectF k = c.caja;
        out.push_back({QRectF(region.x() + k.x() / escala, region.y() + k.y() / escala, k.width() / escala,
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
    // One inference took 16 ms on one thread and 9.5 ms on two (shared 2-core machine), so
    // use the cores; but no more than four, since the player is decoding video beside us
    // and the 256 network's layers are short. Batching tiles is not possible: this model's
    // graph pads channels with a batch-of-one constant, and OpenCV refuses larger batches.
    cv::setNumThreads(std::clamp(QThread::idealThreadCount(), 1, 4));
}

DetectorBlazeFace::~DetectorBlazeFace() = default;

long DetectorBlazeFace::inferencias() const
{
    return d->inferencias;
}

ResultadoDeteccion DetectorBlazeFace::detectar(const QImage& imagen, const QRect& region)
{
    ResultadoDeteccion r;
    if (!d->cargar()) {
        r.ok = false;
        r.error = d->errorCarga;
        return r;
    }
    d->prepararImagen(imagen);
    const QRect dentro = region.intersected(QRect(0, 0, d->rgb.width(), d->rgb.height()));
    if (dentro.isEmpty())
        return r;
    std::vector<Candidata> todas;
    for (int y : d->ys)
        for (int x : d->xs)
            if (dentro.contains(QRect(x, y, d->a.lado, d->a.lado)) &&
                !d->tesela(x, y, todas, r.error)) {
                r.ok = false;
                return r;
            }
    if (!d->pasadaGruesa(dentro, todas, r.error)) {
        r.ok = false;
        return r;
    }
    const QRectF marco(dentro);
    for (const Candidata& c : suprimirPonderado(std::move(todas), d->a.solapeSupresion)) {
        const QRectF k = c.caja.intersected(marco);
        if (k.isEmpty())
            continue;
        // Normalised to the region, origin at its lower-left corner.
        r.cajas.push_back(QRectF((k.x() - marco.x()) / marco.width(),
                                 1.0 - (k.bottom() - marco.y()) / marco.height(),
                                 k.width() / marco.width(), k.height() / marco.height()));
    }
    return r;
}

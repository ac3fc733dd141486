#include "analisis/blazeface.h"

#include "analisis/mirada_caras.h"
#include "analisis/piramide_caras.h"
#include "analisis/red_blazeface.h"
#include "analisis/supresion.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <algorithm>

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

struct DetectorBlazeFace::Impl {
    AjustesBlazeFace a;
    RedBlazeFace red;
    PiramideCaras piramide{red, a};
    MiradaCaras mirada{red, a};

    // The frame being looked at, as RGB, and what its pyramid found and the second look
    // confirmed (frame pixels), shared by the five regions of the frame.
    qint64 claveImagen = 0;
    QImage rgb;
    cv::Mat pixeles;
    qint64 claveAnalizada = 0;
    bool fotogramaOk = false;
    QString errorFotograma;
    std::vector<Candidata> delFotograma;
    Tiempos tiempos;

    Impl(AjustesBlazeFace ajustes, QStringList rutas)
        : a(ajustes)
        , red(std::move(rutas), ajustes.motor)
    {
    }
    void prepararImagen(const QImage& imagen);
    void tomarImagen(const QImage& imagen);
};

void DetectorBlazeFace::Impl::tomarImagen(const QImage& imagen)
{
    if (imagen.cacheKey() == claveImagen && !rgb.isNull())
        return;
    claveImagen = imagen.cacheKey();
    if (imagen.format() == QImage::Format_RGB32) {
        // What a decoded JPEG is: the same bytes as Qt's conversion gives, on every core.
        rgb = QImage(imagen.size(), QImage::Format_RGB888);
        const cv::Mat bgrx(imagen.height(), imagen.width(), CV_8UC4, const_cast<uchar*>(imagen.constBits()),
                           static_cast<size_t>(imagen.bytesPerLine()));
        cv::Mat destino(rgb.height(), rgb.width(), CV_8UC3, rgb.bits(), static_cast<size_t>(rgb.bytesPerLine()));
        cv::cvtColor(bgrx, destino, cv::COLOR_BGRA2RGB);
    } else {
        rgb = imagen.convertToFormat(QImage::Format_RGB888);
    }
    pixeles = cv::Mat(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()),
                      static_cast<size_t>(rgb.bytesPerLine()));
}

void DetectorBlazeFace::Impl::prepararImagen(const QImage& imagen)
{
    if (imagen.cacheKey() == claveAnalizada && !rgb.isNull())
        return;
    double t = cpuDelHilo();
    double red0 = red.segundos();
    // CPU time since the last call, and the network's share of it.
    const auto contar = [&](double& paso, double& deRed) {
        const double ahora = cpuDelHilo(), redAhora = red.segundos();
        deRed += redAhora - red0;
        paso += (ahora - t) - (redAhora - red0);
        t = ahora;
        red0 = redAhora;
    };
    double nada = 0;
    tomarImagen(imagen);
    claveAnalizada = claveImagen;
    contar(tiempos.color, nada);
    // The pyramid levels cover the whole frame once; a corner crop takes what they found
    // inside it, since the same pixels at the same scale give the same answer.
    delFotograma.clear();
    errorFotograma.clear();
    fotogramaOk = piramide.proponer(pixeles, delFotograma, errorFotograma);
    contar(tiempos.piramide, tiempos.redPiramide);
    if (fotogramaOk) {
        delFotograma = suprimirPonderado(std::move(delFotograma), a.solapeSupresion);
        fotogramaOk = mirada.confirmar(pixeles, delFotograma, errorFotograma);
        contar(tiempos.mirada, tiempos.redMirada);
    }
    if (!fotogramaOk)
        delFotograma.clear();
}

int hilosParaCaras()
{
    return std::clamp(QThread::idealThreadCount(), 1, 2);
}

void repartirNucleos(int detectores)
{
    // Whole frames side by side split the cores better than one frame's layers over them:
    // nothing waits for the slowest thread of each layer, and the decoding and scaling
    // around the network run in parallel too. XNNPACK runs the network on the detector's
    // own thread; OpenCV's threads scale the pyramid, and run the network where OpenCV's
    // DNN is the engine.
    cv::setNumThreads(std::max(1, std::clamp(QThread::idealThreadCount(), 1, 4) / std::max(1, detectores)));
}

DetectorBlazeFace::DetectorBlazeFace(AjustesBlazeFace ajustes, QStringList rutas)
    : d(std::make_unique<Impl>(ajustes, std::move(rutas)))
{
}

DetectorBlazeFace::~DetectorBlazeFace() = default;

QString DetectorBlazeFace::preparar()
{
    return d->red.cargar() ? QString() : d->red.errorCarga();
}

long DetectorBlazeFace::inferencias() const
{
    return d->red.inferencias();
}

MotorRed DetectorBlazeFace::motor() const
{
    return d->red.motor();
}

DetectorBlazeFace::Tiempos DetectorBlazeFace::tiempos() const
{
    return d->tiempos;
}

bool DetectorBlazeFace::candidatas(const QImage& imagen, const QRect& region, std::vector<Candidata>& cajas,
                                   QString& error)
{
    cajas.clear();
    if (!d->red.cargar()) {
        error = d->red.errorCarga();
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
        if (!d->piramide.pasadaGruesa(d->pixeles, dentro, propias, error) ||
            !d->mirada.confirmar(d->pixeles, propias, error))
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

bool DetectorBlazeFace::mirarDeNuevo(const QImage& imagen, const std::vector<QRectF>& cajas,
                                     std::vector<VistasDeCara>& vistas, QString& error)
{
    vistas.clear();
    if (!d->red.cargar()) {
        error = d->red.errorCarga();
        return false;
    }
    d->tomarImagen(imagen);
    return d->mirada.mirar(d->pixeles, cajas, vistas, error);
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

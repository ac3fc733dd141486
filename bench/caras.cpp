// Face detection on 40 generated 1080p frames: median milliseconds per frame for the whole
// per-frame work (decode, five regions, merging) and recall/precision against the pasted
// faces. Optional arguments replace the defaults for trials, in this order: finest scale,
// score threshold, widest pyramid box, merging overlap, coarse pass on corners (0/1), first
// seed (another set of frames), smoothing sigma, keypoint test (0/1).
#include "analisis/blazeface.h"
#include "analisis/caras.h"
#include "apoyo/rostros.h"

#include "apoyo/programa.h"

#include <QBuffer>
#include <QFile>
#include <QDir>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QImageReader>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

double iou(const QRectF& a, const QRectF& b)
{
    const QRectF i = a.intersected(b);
    return i.isEmpty() ? 0.0 : i.width() * i.height() / (a.width() * a.height() + b.width() * b.height() -
                                                           i.width() * i.height());
}

void contarFallos(int i, const PedidoFotograma& p, const std::vector<QRectF>& verdad,
                  const std::vector<QRectF>& halladas)
{
    const char* tipo = p.nocturno ? "noche" : p.calidadJPEG < 50 ? "comprimido" : "dia";
    for (const QRectF& v : verdad)
        if (std::none_of(halladas.begin(), halladas.end(), [&](const QRectF& h) { return iou(v, h) >= 0.3; }))
            std::printf("    fallo: fotograma %d (%s) cara %.0f px en %.0f,%.0f\n", i, tipo, v.width(), v.x(), v.y());
    for (const QRectF& h : halladas)
        if (std::none_of(verdad.begin(), verdad.end(), [&](const QRectF& v) { return iou(v, h) >= 0.3; }))
            std::printf("    falsa: fotograma %d (%s) caja %.0fx%.0f en %.0f,%.0f\n", i, tipo, h.width(), h.height(),
                        h.x(), h.y());
}

} // namespace

int main(int argc, char** argv)
{
    AjustesBlazeFace a;
    if (argc > 1) a.escalaFina = std::atof(argv[1]);
    if (argc > 2) a.umbral = static_cast<float>(std::atof(argv[2]));
    if (argc > 3) a.anchoMaximo = std::atof(argv[3]);
    if (argc > 4) a.solapeSupresion = std::atof(argv[4]);
    if (argc > 5) a.gruesaEnCadaRegion = std::atoi(argv[5]) != 0;
    if (argc > 7) a.suavizado = std::atof(argv[7]);
    if (argc > 8) a.exigirRasgos = std::atoi(argv[8]) != 0;
    // Faces rolled by this many degrees (a head tilted, a camera mounted askew).
    const double giro = qEnvironmentVariableIntValue("ZORV_BANCO_GIRO");
    const uint32_t base = argc > 6 ? static_cast<uint32_t>(std::atoi(argv[6])) : 1000;
    // ZORV_BANCO_DETALLE=1 lists every missed face and every false box, for trials.
    const bool detalle = qEnvironmentVariableIntValue("ZORV_BANCO_DETALLE") != 0;
    DetectorBlazeFace detector(a, {QStringLiteral(ZORV_MODELO)});

    Puntuacion total, pequenas, noche;
    std::vector<double> ms;
    QTemporaryDir carpeta;
    for (int i = 0; i < 40; ++i) {
        PedidoFotograma p;
        p.semilla = base + static_cast<uint32_t>(i);
        p.nocturno = i % 4 == 0;
        p.calidadJPEG = i % 5 == 1 ? 12 : 80;
        p.giro = giro;
        p.anchos = i % 3 == 0 ? std::vector<int>{24, 28, 32, 36, 40} : std::vector<int>{30, 48, 80, 130, 250};
        const FotogramaConCaras f = fotogramaConCaras(p);
        if (f.imagen.isNull()) {
            std::fprintf(stderr, "falta la foto %s\n", qPrintable(rutaFotoRostro()));
            return 1;
        }
        QByteArray jpeg;
        QBuffer b(&jpeg);
        b.open(QIODevice::WriteOnly);
        f.imagen.save(&b, "JPEG", 90);
        QFile archivo(QDir(carpeta.path()).filePath(QString::asprintf("%06d.jpg", i)));
        if (archivo.open(QIODevice::WriteOnly))
            archivo.write(jpeg);
        QElapsedTimer t;
        t.start();
        const QImage img = QImage::fromData(jpeg, "JPEG");
        const std::vector<QRectF> halladas = carasDeImagen(img, QStringLiteral("x.jpg"), detector);
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        puntuar(f.caras, halladas, total);
        if (i % 3 == 0) puntuar(f.caras, halladas, pequenas);
        if (p.nocturno) puntuar(f.caras, halladas, noche);
        if (detalle)
            contarFallos(i, p, f.caras, halladas);
    }
    std::sort(ms.begin(), ms.end());
    // The same frames through the program itself, as the player runs it (model load included).
    QElapsedTimer reloj;
    reloj.start();
    const Corrida c = correr({QStringLiteral("caras"), carpeta.path()}, 600000);
    const double msPrograma = static_cast<double>(reloj.elapsed()) / 40.0;
    const int lineas = static_cast<int>(c.salida.count('\n'));
    std::printf("caras: escala %.3f umbral %.2f maximo %.2f supresion %.2f gruesa en esquinas %d suavizado %.2f rasgos %d semillas %u\n",
                a.escalaFina, static_cast<double>(a.umbral), a.anchoMaximo, a.solapeSupresion,
                a.gruesaEnCadaRegion ? 1 : 0, a.suavizado, a.exigirRasgos ? 1 : 0, base);
    std::printf("  mediana %.1f ms por fotograma (min %.1f, max %.1f), %.1f inferencias por fotograma\n",
                ms[ms.size() / 2], ms.front(), ms.back(), double(detector.inferencias()) / 40.0);
    std::printf("  programa entero: %.1f ms por fotograma, estado %d, %d caras impresas\n", msPrograma, c.estado,
                lineas);
    std::printf("  recuerdo %.3f precision %.3f (%d/%d caras, %d cajas)\n", total.recuerdo(),
                total.precision(), total.aciertos, total.caras, total.detectadas);
    std::printf("  24-40 px: recuerdo %.3f precision %.3f; nocturnos: recuerdo %.3f precision %.3f\n",
                pequenas.recuerdo(), pequenas.precision(), noche.recuerdo(), noche.precision());
    return 0;
}

// Face detection on 40 generated 1080p frames: median milliseconds per frame for the whole
// per-frame work (decode, five regions, merging) and recall/precision against the pasted
// faces. Optional arguments (tile side, overlap, score threshold, widest tile box, merging
// overlap) replace the defaults for trials.
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

int main(int argc, char** argv)
{
    AjustesBlazeFace a;
    if (argc > 1) a.lado = std::atoi(argv[1]);
    if (argc > 2) a.solape = std::atof(argv[2]);
    if (argc > 3) a.umbral = static_cast<float>(std::atof(argv[3]));
    if (argc > 4) a.anchoMaximoEnTesela = std::atof(argv[4]);
    if (argc > 5) a.solapeSupresion = std::atof(argv[5]);
    DetectorBlazeFace detector(a, {QStringLiteral(ZORV_MODELO)});

    Puntuacion total, pequenas, noche;
    std::vector<double> ms;
    QTemporaryDir carpeta;
    for (int i = 0; i < 40; ++i) {
        PedidoFotograma p;
        p.semilla = 1000 + static_cast<uint32_t>(i);
        p.nocturno = i % 4 == 0;
        p.calidadJPEG = i % 5 == 1 ? 12 : 80;
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
    }
    std::sort(ms.begin(), ms.end());
    // The same frames through the program itself, as the player runs it (model load included).
    QElapsedTimer reloj;
    reloj.start();
    const Corrida c = correr({QStringLiteral("caras"), carpeta.path()}, 600000);
    const double msPrograma = static_cast<double>(reloj.elapsed()) / 40.0;
    const int lineas = static_cast<int>(c.salida.count('\n'));
    std::printf("caras: lado %d solape %.2f umbral %.2f maximo %.2f supresion %.2f\n", a.lado, a.solape,
                static_cast<double>(a.umbral), a.anchoMaximoEnTesela, a.solapeSupresion);
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

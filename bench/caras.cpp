// Face detection on the measurement set (tests/apoyo/conjunto_caras.h): recall and precision
// overall and per group (size band, pose, rolled or covered faces, degradation, frames
// without faces), how much of each face the boxes cover, and wall and CPU time per 1080p
// frame through the mode's own walk over a folder of JPEG frames (decoding, the five
// regions, merging, lines and progress file), with the CPU time of each step. The walk
// runs as the mode runs it (frames side by side, one detector each) and, for comparison in
// the same run, with one detector whose OpenCV work shares the cores (the former way), and
// with the network on OpenCV's DNN instead of XNNPACK (the engine before: how many lines
// differ and by how much). The first two must print the same lines. With
// ZORV_BANCO_CURVA=1, recall and precision over the score threshold.
//
//   banco-caras [ajuste|reserva] [frames] [solo]   ("solo": only the mode's way)
//
// Tune on "ajuste" only; "reserva" is the check. ZORV_BANCO_AJUSTES="umbral=0.45,..." changes
// the detector's settings for a trial; ZORV_BANCO_DETALLE=1 lists every miss and false box;
// ZORV_BANCO_VOLCAR=folder writes the frames there as JPEG.
#include "analisis/blazeface.h"
#include "analisis/caras.h"
#include "apoyo/conjunto_caras.h"
#include "medidas.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>

namespace {

struct Cuenta {
    int aciertos = 0, caras = 0, cajas = 0, falsas = 0;
    double recuerdo() const { return caras ? double(aciertos) / caras : 1.0; }
    double precision() const { return cajas ? double(cajas - falsas) / cajas : 1.0; }
};

std::vector<QString> gruposDeCara(const CaraMedida& c)
{
    std::vector<QString> g{QStringLiteral("tamaño ") + bandaDeAncho(c.ancho), QStringLiteral("pose ") + c.pose};
    if (c.girada)
        g.push_back(QStringLiteral("cabeza girada"));
    if (c.tapada)
        g.push_back(QStringLiteral("cara tapada"));
    return g;
}

void aplicarAjustes(AjustesBlazeFace& a, const QString& texto)
{
    for (const QString& par : texto.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString clave = par.section(QLatin1Char('='), 0, 0).trimmed();
        const double v = par.section(QLatin1Char('='), 1).toDouble();
        if (clave == QLatin1String("motor")) {
            a.motor = par.section(QLatin1Char('='), 1).trimmed() == QLatin1String("opencv") ? MotorRed::opencv
                                                                                         : MotorRed::xnnpack;
            continue;
        }
        if (clave == QLatin1String("escalaFina")) a.escalaFina = v;
        else if (clave == QLatin1String("umbral")) a.umbral = static_cast<float>(v);
        else if (clave == QLatin1String("anchoMaximo")) a.anchoMaximo = v;
        else if (clave == QLatin1String("solapeSupresion")) a.solapeSupresion = v;
        else if (clave == QLatin1String("gruesaEnCadaRegion")) a.gruesaEnCadaRegion = v != 0;
        else if (clave == QLatin1String("suavizado")) a.suavizado = v;
        else if (clave == QLatin1String("exigirRasgos")) a.exigirRasgos = v != 0;
        else if (clave == QLatin1String("verificar")) a.verificar = v != 0;
        else if (clave == QLatin1String("umbralPropuestas")) a.umbralPropuestas = static_cast<float>(v);
        else if (clave == QLatin1String("ladoVerificacion")) a.ladoVerificacion = static_cast<int>(v);
        else if (clave == QLatin1String("contextoVerificacion")) a.contextoVerificacion = v;
        else if (clave == QLatin1String("maximoVerificadas")) a.maximoVerificadas = static_cast<int>(v);
        else if (clave == QLatin1String("contarPiramide")) a.contarPiramide = v != 0;
        else if (clave == QLatin1String("anchoPequenas")) a.anchoPequenas = v;
        else if (clave == QLatin1String("ladoVerificacionPequenas")) a.ladoVerificacionPequenas = static_cast<int>(v);
        else if (clave == QLatin1String("umbralPropuestasPequenas")) a.umbralPropuestasPequenas = static_cast<float>(v);
        else if (clave == QLatin1String("umbralPequenas")) a.umbralPequenas = static_cast<float>(v);
        else if (clave == QLatin1String("ensancheLados")) a.ensancheLados = v;
        else if (clave == QLatin1String("ensancheArriba")) a.ensancheArriba = v;
        else if (clave == QLatin1String("ensancheAbajo")) a.ensancheAbajo = v;
        else std::fprintf(stderr, "ajuste desconocido: %s\n", qPrintable(clave));
    }
}

// One timed walk of the mode over the folder.
struct Recorrido {
    QString lineas;
    double pared = 0, cpu = 0; // seconds, whole walk
    long inferencias = 0;
    DetectorBlazeFace::Tiempos pasos;
    bool conOpenCV = false; // some detector ran the network on OpenCV's DNN
};

// The mode's detector, which hands what it counted to the walk's record when the walk
// is over and it goes.
class Contado : public DetectorCaras {
public:
    Contado(const AjustesBlazeFace& a, Recorrido& r)
        : d_(a, {QStringLiteral(ZORV_MODELO)})
        , r_(r)
    {
    }
    ~Contado() override
    {
        const DetectorBlazeFace::Tiempos t = d_.tiempos();
        r_.inferencias += d_.inferencias();
        r_.conOpenCV = r_.conOpenCV || d_.motor() == MotorRed::opencv;
        r_.pasos.color += t.color;
        r_.pasos.piramide += t.piramide;
        r_.pasos.redPiramide += t.redPiramide;
        r_.pasos.mirada += t.mirada;
        r_.pasos.redMirada += t.redMirada;
    }
    ResultadoDeteccion detectar(const QImage& imagen, const QRect& region) override
    {
        return d_.detectar(imagen, region);
    }

private:
    DetectorBlazeFace d_;
    Recorrido& r_;
};

Recorrido recorrer(const QString& carpeta, int hilos, const AjustesBlazeFace& a)
{
    Recorrido r;
    QElapsedTimer reloj;
    const double cpu0 = cpuProceso();
    reloj.start();
    recorrerFotogramas(carpeta, hilos,
                       [&](int trabajadores) -> std::unique_ptr<DetectorCaras> {
                           repartirNucleos(trabajadores);
                           return std::make_unique<Contado>(a, r);
                       },
                       [&](const QString& lote) { r.lineas += lote; });
    r.pared = double(reloj.nsecsElapsed()) / 1e9;
    r.cpu = cpuProceso() - cpu0;
    return r;
}

// The boxes of each frame number in the mode's lines.
std::map<int, std::vector<QRectF>> cajasDeLineas(const QString& lineas)
{
    std::map<int, std::vector<QRectF>> r;
    for (const QString& l : lineas.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList c = l.split(QLatin1Char(' '));
        if (c.size() == 5)
            r[c[0].toInt()].push_back(QRectF(c[1].toDouble(), c[2].toDouble(), c[3].toDouble(), c[4].toDouble()));
    }
    return r;
}

// How the lines of two walks differ: lines not the same, and the largest difference of a
// number between lines at the same place that name the same frame.
struct Diferencia {
    int distintas = 0, total = 0;
    double maxima = 0;
};

Diferencia compararLineas(const QString& a, const QString& b)
{
    const QStringList la = a.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList lb = b.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    Diferencia d;
    d.total = int(std::max(la.size(), lb.size()));
    for (int i = 0; i < d.total; ++i) {
        if (i < la.size() && i < lb.size() && la[i] == lb[i])
            continue;
        ++d.distintas;
        const QStringList ca = i < la.size() ? la[i].split(QLatin1Char(' ')) : QStringList();
        const QStringList cb = i < lb.size() ? lb[i].split(QLatin1Char(' ')) : QStringList();
        if (ca.size() != cb.size() || ca.isEmpty() || ca[0] != cb[0]) {
            d.maxima = std::numeric_limits<double>::infinity();
            continue;
        }
        for (int k = 1; k < ca.size(); ++k)
            d.maxima = std::max(d.maxima, std::abs(ca[k].toDouble() - cb[k].toDouble()));
    }
    return d;
}

} // namespace

int main(int argc, char** argv)
{
    const QString parte = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("reserva");
    const int n = argc > 2 ? std::atoi(argv[2]) : 70;
    AjustesBlazeFace a;
    aplicarAjustes(a, qEnvironmentVariable("ZORV_BANCO_AJUSTES"));
    const bool detalle = qEnvironmentVariableIntValue("ZORV_BANCO_DETALLE") != 0;
    const bool curva = qEnvironmentVariableIntValue("ZORV_BANCO_CURVA") != 0;
    const QString volcar = qEnvironmentVariable("ZORV_BANCO_VOLCAR");
    const bool soloModo = argc > 3 && QLatin1String(argv[3]) == QLatin1String("solo");

    FuentesCaras fuentes;
    QString error;
    if (!cargarFuentesCaras(parte, fuentes, error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    AjustesBlazeFace bajo = a;
    bajo.umbral = 0.2f;
    bajo.umbralPequenas = 0.2f;
    DetectorBlazeFace detectorCurva(bajo, {QStringLiteral(ZORV_MODELO)});

    // The frames as the player exports them, into a folder for the mode's walk.
    QTemporaryDir carpeta;
    const QString destino = volcar.isEmpty() ? carpeta.path() : volcar;
    std::vector<FotogramaMedido> fotogramas;
    for (int i = 0; i < n; ++i) {
        FotogramaMedido f = fotogramaMedido(fuentes, i);
        QFile s(QDir(destino).filePath(QString::asprintf("%06d.jpg", i)));
        if (!s.open(QIODevice::WriteOnly) || s.write(f.jpeg) != f.jpeg.size()) {
            std::fprintf(stderr, "no se pudo escribir %s\n", qPrintable(s.fileName()));
            return 1;
        }
        f.jpeg.clear();
        f.imagen = QImage();
        fotogramas.push_back(std::move(f));
    }
    const QString cargaAntes = cargaMedia();
    const Recorrido modo = recorrer(destino, hilosParaCaras(), a);
    const QString cargaModo = cargaMedia();
    Recorrido uno, opencv;
    AjustesBlazeFace conOpenCV = a;
    conOpenCV.motor = MotorRed::opencv;
    if (!soloModo)
        uno = recorrer(destino, 1, a);
    const QString cargaDespues = cargaMedia();
    if (!soloModo && a.motor != MotorRed::opencv)
        opencv = recorrer(destino, hilosParaCaras(), conOpenCV);
    const QString cargaOpenCV = cargaMedia();
    const std::map<int, std::vector<QRectF>> porNumero = cajasDeLineas(modo.lineas);

    std::map<QString, Cuenta> grupos;
    Cuenta total;
    double cubierto = 0;
    // How far each face reaches past its box (left, right, top, bottom), in box widths/heights.
    std::vector<double> faltas[4];
    int medidas = 0, cubiertasDel95 = 0, fotogramasSinCaras = 0, falsasSinCaras = 0;
    // Threshold curve: per frame, the faces and the scored boxes of the whole picture.
    std::vector<std::pair<std::vector<CaraMedida>, std::vector<Candidata>>> paraCurva;
    for (int i = 0; i < n; ++i) {
        const FotogramaMedido& f = fotogramas[static_cast<size_t>(i)];
        const auto hay = porNumero.find(i);
        const std::vector<QRectF> cajas = hay == porNumero.end() ? std::vector<QRectF>() : hay->second;
        const QImage img = curva || !volcar.isEmpty()
                               ? QImage(QDir(destino).filePath(QString::asprintf("%06d.jpg", i)))
                               : QImage();
        const std::vector<int> de = emparejarCaras(f.caras, cajas);
        if (!volcar.isEmpty()) {
            // The faces in green and the boxes found in red, to check labels and misses by eye.
            QImage vista = img.convertToFormat(QImage::Format_RGB32);
            QPainter p(&vista);
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(Qt::green, 2));
            for (const CaraMedida& c : f.caras)
                p.drawRect(c.caja);
            p.setPen(QPen(Qt::red, 2));
            for (const QRectF& c : cajas)
                p.drawRect(c);
            p.end();
            vista.save(QDir(volcar).filePath(QString::asprintf("%06d-cajas.jpg", i)), "JPEG", 90);
        }
        std::vector<bool> buena(cajas.size(), false);
        Cuenta& deg = grupos[QStringLiteral("degradación ") + f.degradacion];
        for (size_t k = 0; k < f.caras.size(); ++k) {
            const bool hallada = de[k] >= 0;
            if (hallada)
                buena[static_cast<size_t>(de[k])] = true;
            for (Cuenta* c : {&total, &deg}) {
                c->caras++;
                c->aciertos += hallada;
            }
            for (const QString& g : gruposDeCara(f.caras[k])) {
                grupos[g].caras++;
                grupos[g].aciertos += hallada;
            }
            if (hallada && !f.caras[k].girada) {
                const double parte_ = cobertura(f.caras[k].caja, cajas[static_cast<size_t>(de[k])]);
                cubierto += parte_;
                const QRectF v = f.caras[k].caja, h = cajas[static_cast<size_t>(de[k])];
                faltas[0].push_back((h.left() - v.left()) / h.width());
                faltas[1].push_back((v.right() - h.right()) / h.width());
                faltas[2].push_back((h.top() - v.top()) / h.height());
                faltas[3].push_back((v.bottom() - h.bottom()) / h.height());
                cubiertasDel95 += parte_ >= 0.95;
                ++medidas;
            }
            if (!hallada && detalle)
                std::printf("    fallo: fotograma %d (%s) cara %.0f px %s%s%s en %.0f,%.0f\n", i,
                            qPrintable(f.degradacion), f.caras[k].ancho, qPrintable(f.caras[k].pose),
                            f.caras[k].girada ? " girada" : "", f.caras[k].tapada ? " tapada" : "",
                            f.caras[k].caja.x(), f.caras[k].caja.y());
        }
        for (size_t k = 0; k < cajas.size(); ++k) {
            for (Cuenta* c : {&total, &deg}) {
                c->cajas++;
                c->falsas += !buena[k];
            }
            if (!buena[k] && detalle)
                std::printf("    falsa: fotograma %d (%s) caja %.0fx%.0f en %.0f,%.0f\n", i, qPrintable(f.degradacion),
                            cajas[k].width(), cajas[k].height(), cajas[k].x(), cajas[k].y());
        }
        if (f.caras.empty()) {
            ++fotogramasSinCaras;
            falsasSinCaras += static_cast<int>(cajas.size());
        }
        if (curva) {
            std::vector<Candidata> c;
            if (detectorCurva.candidatas(img, img.rect(), c, error))
                paraCurva.emplace_back(f.caras, std::move(c));
        }
    }
    std::printf("banco-caras: parte %s, %d fotogramas 1920x1080 (%d sin caras), %d caras de %d personas, "
                "%zu fondos\n",
                qPrintable(parte), n, fotogramasSinCaras, total.caras, fuentes.personas, fuentes.fondos.size());
    std::printf("  ajustes: escala %.3f umbral %.2f maximo %.2f supresion %.2f gruesa en esquinas %d "
                "suavizado %.2f rasgos %d verificar %d (propuestas %.2f, lado %d, contexto %.2f, hasta %d, "
                "piramide %d; pequenas bajo %.0f px: lado %d, propuestas %.2f, umbral %.2f) ensanche %.2f/%.2f/%.2f\n",
                a.escalaFina, double(a.umbral), a.anchoMaximo, a.solapeSupresion, a.gruesaEnCadaRegion ? 1 : 0,
                a.suavizado, a.exigirRasgos ? 1 : 0, a.verificar ? 1 : 0, double(a.umbralPropuestas),
                a.ladoVerificacion, a.contextoVerificacion, a.maximoVerificadas, a.contarPiramide ? 1 : 0,
                a.anchoPequenas, a.ladoVerificacionPequenas, double(a.umbralPropuestasPequenas), double(a.umbralPequenas),
                a.ensancheLados, a.ensancheArriba, a.ensancheAbajo);
    const auto porFotograma = [&](double segundos) { return 1000.0 * segundos / n; };
    std::printf("  tiempo del modo (%d fotogramas a la vez, un detector cada uno, red en %s): %.1f ms de pared y "
                "%.1f ms de CPU por fotograma (objetivo: <= 200 de pared, <= 300 de CPU), %.1f inferencias por "
                "fotograma; carga media %s antes, %s despues\n",
                hilosParaCaras(), modo.conOpenCV ? "OpenCV DNN" : "XNNPACK", porFotograma(modo.pared),
                porFotograma(modo.cpu), double(modo.inferencias) / n, qPrintable(cargaAntes), qPrintable(cargaModo));
    if (!soloModo)
        std::printf("  con un solo detector, que reparte entre los nucleos lo que hace OpenCV: %.1f ms de pared y %.1f "
                    "ms de CPU por fotograma; misma salida: %s; carga media %s despues\n",
                    porFotograma(uno.pared), porFotograma(uno.cpu), uno.lineas == modo.lineas ? "si" : "NO",
                    qPrintable(cargaDespues));
    if (!soloModo && a.motor != MotorRed::opencv) {
        const Diferencia d = compararLineas(modo.lineas, opencv.lineas);
        std::printf("  con la red en OpenCV DNN (el motor de antes), del mismo modo: %.1f ms de pared y %.1f ms de "
                    "CPU por fotograma, red %.1f ms; lineas distintas %d de %d, diferencia maxima %.2f px; carga "
                    "media %s despues\n",
                    porFotograma(opencv.pared), porFotograma(opencv.cpu),
                    porFotograma(opencv.pasos.redPiramide + opencv.pasos.redMirada), d.distintas, d.total, d.maxima,
                    qPrintable(cargaOpenCV));
    }
    const DetectorBlazeFace::Tiempos& t = modo.pasos;
    const double medido = t.color + t.piramide + t.redPiramide + t.mirada + t.redMirada;
    std::printf("  CPU por fotograma y paso: leer el JPEG y lo demas %.1f ms, RGB %.1f, niveles de la piramide "
                "(escalar, suavizar, leer cajas) %.1f, red sobre la piramide %.1f, recortes de la segunda mirada "
                "%.1f, red sobre los recortes %.1f\n",
                porFotograma(modo.cpu - medido), porFotograma(t.color), porFotograma(t.piramide),
                porFotograma(t.redPiramide), porFotograma(t.mirada), porFotograma(t.redMirada));
    std::printf("  total: recuerdo %.3f (%d/%d) precision %.3f (%d cajas, %d falsas)\n", total.recuerdo(),
                total.aciertos, total.caras, total.precision(), total.cajas, total.falsas);
    std::printf("  fotogramas sin caras: %d cajas falsas en %d fotogramas\n", falsasSinCaras, fotogramasSinCaras);
    std::printf("  cobertura de la cara entera (frente a barbilla, oreja a oreja): media %.3f, %d de %d caras "
                "al 95 %% o mas\n",
                medidas ? cubierto / medidas : 0.0, cubiertasDel95, medidas);
    for (auto& v : faltas)
        std::sort(v.begin(), v.end());
    if (!faltas[0].empty()) {
        const auto p = [&](int lado, double q) { return faltas[lado][size_t(q * double(faltas[lado].size() - 1))]; };
        std::printf("  la cara sobresale de su caja (mediana / percentil 90): izquierda %.2f/%.2f derecha %.2f/%.2f "
                    "arriba %.2f/%.2f abajo %.2f/%.2f\n",
                    p(0, 0.5), p(0, 0.9), p(1, 0.5), p(1, 0.9), p(2, 0.5), p(2, 0.9), p(3, 0.5), p(3, 0.9));
    }
    for (const auto& [nombre, c] : grupos) {
        if (nombre.startsWith(QStringLiteral("degradación")))
            std::printf("  %-28s recuerdo %.3f (%d/%d) precision %.3f (%d falsas de %d)\n", qPrintable(nombre),
                        c.recuerdo(), c.aciertos, c.caras, c.precision(), c.falsas, c.cajas);
        else
            std::printf("  %-28s recuerdo %.3f (%d/%d)\n", qPrintable(nombre), c.recuerdo(), c.aciertos, c.caras);
    }
    if (curva) {
        std::printf("  curva sobre el umbral (cuadro entero, sin esquinas):\n");
        for (int u = 20; u <= 80; u += 5) {
            Cuenta c;
            for (const auto& [caras, cand] : paraCurva) {
                std::vector<QRectF> cajas;
                for (const Candidata& k : cand)
                    if (k.puntuacion >= u / 100.0f)
                        cajas.push_back(k.caja);
                const std::vector<int> de = emparejarCaras(caras, cajas);
                const int halladas =
                    static_cast<int>(std::count_if(de.begin(), de.end(), [](int v) { return v >= 0; }));
                c.caras += static_cast<int>(caras.size());
                c.aciertos += halladas;
                c.cajas += static_cast<int>(cajas.size());
                c.falsas += static_cast<int>(cajas.size()) - halladas;
            }
            std::printf("    umbral %.2f: recuerdo %.3f precision %.3f\n", u / 100.0, c.recuerdo(), c.precision());
        }
    }
    return 0;
}

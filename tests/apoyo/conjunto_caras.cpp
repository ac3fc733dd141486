#include "apoyo/conjunto_caras.h"

#include "apoyo/escena.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPolygonF>
#include <QTextStream>
#include <QTransform>
#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <set>

namespace {

constexpr int kAncho = 1920, kAlto = 1080;
constexpr int kCarasPorFotograma = 5;
const std::array<std::pair<double, double>, 5> kBandas = {
    {{20, 24}, {24, 40}, {40, 80}, {80, 160}, {160, 300}}};
const std::array<const char*, 7> kDegradaciones = {"limpio", "noche", "jpeg", "escalado",
                                                   "ruido", "movimiento", "luz lateral"};
// A face pasted wider than this many times its source gets too soft to stand for a real one.
constexpr double kAumentoMaximo = 2.5;

// The labels run from the brows to the chin and from cheek to cheek; what a blur must
// hide also holds the forehead up to the hairline and the ears.
QRectF caraEntera(const QRectF& c)
{
    return QRectF(c.x() - 0.08 * c.width(), c.y() - 0.28 * c.height(), 1.16 * c.width(),
                  1.28 * c.height());
}

uchar limitar(double v)
{
    return static_cast<uchar>(std::clamp(v, 0.0, 255.0));
}

// Head and shoulders around the face, scaled by `s`, faded out towards an oval so no square
// edge is pasted into the frame; the picture's other faces are cut out.
QImage recorteCara(const FuenteCara& f, const QRectF& origen, double s, bool tapar, std::mt19937& azar)
{
    QImage trozo = f.foto.copy(origen.toAlignedRect())
                       .scaled(std::max(1, int(origen.width() * s)), std::max(1, int(origen.height() * s)),
                               Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_ARGB32);
    const QRectF cara = f.caja.translated(-origen.topLeft());
    if (tapar) {
        // A cap over the forehead or a scarf over mouth and chin: a third of the face.
        QPainter p(&trozo);
        const QRectF e = caraEntera(cara);
        const bool gorra = azar() % 2;
        const QRectF tapa(e.x() - 0.1 * e.width(), e.y() + (gorra ? -0.2 : 0.68) * e.height(), 1.2 * e.width(),
                          (gorra ? 0.55 : 0.5) * e.height());
        const int tono = 20 + static_cast<int>(azar() % 120);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(tono, tono * (azar() % 3) / 2, tono / 2 + static_cast<int>(azar() % 60)));
        p.drawRoundedRect(QTransform::fromScale(s, s).mapRect(tapa), 4 * s, 4 * s);
    }
    const QPointF centro = (cara.center() + QPointF(0, 0.15 * cara.height())) * s;
    const double rx = 1.05 * cara.width() * s, ry = 1.35 * cara.height() * s;
    // Cut out where another face of the picture is, but never into this face.
    const QRectF propia = QTransform::fromScale(s, s).mapRect(caraEntera(cara));
    std::vector<QRectF> fuera;
    for (const QRectF& o : f.otras)
        fuera.push_back(QTransform::fromScale(s, s).mapRect(caraEntera(o).translated(-origen.topLeft())));
    for (int y = 0; y < trozo.height(); ++y) {
        QRgb* fila = reinterpret_cast<QRgb*>(trozo.scanLine(y));
        for (int x = 0; x < trozo.width(); ++x) {
            const double dx = (x - centro.x()) / rx, dy = (y - centro.y()) / ry;
            double alfa = std::clamp((1.0 - std::sqrt(dx * dx + dy * dy)) / 0.3, 0.0, 1.0);
            for (const QRectF& o : fuera)
                if (o.contains(x, y) && !propia.contains(x, y))
                    alfa = 0;
            fila[x] = qRgba(qRed(fila[x]), qGreen(fila[x]), qBlue(fila[x]), int(alfa * 255));
        }
    }
    return trozo.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage mosaicoDeFondos(const FuentesCaras& f, std::mt19937& azar)
{
    QImage img(kAncho, kAlto, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const int partes = std::array<int, 3>{1, 2, 4}[azar() % 3];
    for (int k = 0; k < partes; ++k) {
        const QRect celda = partes == 1 ? img.rect()
                            : partes == 2 ? QRect(k * kAncho / 2, 0, kAncho / 2, kAlto)
                                          : QRect((k % 2) * kAncho / 2, (k / 2) * kAlto / 2, kAncho / 2, kAlto / 2);
        const QImage& fondo = f.fondos[azar() % f.fondos.size()];
        // The largest piece of the photograph with the cell's shape, at a random place.
        const double e = std::min(double(fondo.width()) / celda.width(), double(fondo.height()) / celda.height());
        const double w = celda.width() * e * (0.7 + 0.3 * (azar() % 100) / 100.0), h = w * celda.height() / celda.width();
        const double x = (fondo.width() - w) * (azar() % 100) / 100.0, y = (fondo.height() - h) * (azar() % 100) / 100.0;
        p.drawImage(QRectF(celda), fondo, QRectF(x, y, w, h));
    }
    return img;
}

void degradar(QImage& img, const QString& como, std::mt19937& azar)
{
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const int w = img.width(), h = img.height();
    if (como == QLatin1String("noche")) {
        // Infrared at night: no colour, low contrast, grain.
        std::normal_distribution<double> grano(0.0, 14.0);
        for (int y = 0; y < h; ++y) {
            QRgb* fila = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const uchar g = limitar(40.0 + 0.55 * qGray(fila[x]) + grano(azar));
                fila[x] = qRgb(g, g, g);
            }
        }
    } else if (como == QLatin1String("escalado")) {
        const double f = 0.35 + 0.2 * u(azar);
        img = img.scaled(int(w * f), int(h * f), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                  .scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                  .convertToFormat(QImage::Format_RGB32);
    } else if (como == QLatin1String("ruido")) {
        std::normal_distribution<double> grano(0.0, 10.0 + 8.0 * u(azar));
        for (int y = 0; y < h; ++y) {
            QRgb* fila = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < w; ++x)
                fila[x] = qRgb(limitar(qRed(fila[x]) + grano(azar)), limitar(qGreen(fila[x]) + grano(azar)),
                               limitar(qBlue(fila[x]) + grano(azar)));
        }
    } else if (como == QLatin1String("movimiento")) {
        // The camera or the person moving during the exposure: a streak 7-15 px long.
        const int largo = 7 + static_cast<int>(azar() % 9);
        const double angulo = u(azar) * M_PI;
        std::vector<QPoint> pasos;
        for (int k = 0; k < largo; ++k) {
            const double t = k - (largo - 1) / 2.0;
            pasos.emplace_back(int(std::lround(t * std::cos(angulo))), int(std::lround(t * std::sin(angulo))));
        }
        const QImage origen = img.copy();
        for (int y = 0; y < h; ++y) {
            QRgb* fila = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < w; ++x) {
                int r = 0, g = 0, b = 0;
                for (const QPoint& d : pasos) {
                    const QRgb c = reinterpret_cast<const QRgb*>(
                        origen.constScanLine(std::clamp(y + d.y(), 0, h - 1)))[std::clamp(x + d.x(), 0, w - 1)];
                    r += qRed(c);
                    g += qGreen(c);
                    b += qBlue(c);
                }
                fila[x] = qRgb(r / largo, g / largo, b / largo);
            }
        }
    } else if (como == QLatin1String("luz lateral")) {
        // A low sun or a street lamp on one side: one half dark, the other washed out, warm.
        const bool izquierda = azar() % 2;
        for (int y = 0; y < h; ++y) {
            QRgb* fila = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const double t = izquierda ? 1.0 - double(x) / w : double(x) / w;
                const double g = 0.3 + 1.2 * t;
                fila[x] = qRgb(limitar(qRed(fila[x]) * g * 1.05), limitar(qGreen(fila[x]) * g),
                               limitar(qBlue(fila[x]) * g * 0.88));
            }
        }
    }
}

} // namespace

QString carpetaFuentesCaras()
{
    return QStringLiteral(ZORV_FUENTES_CARAS);
}

double iou(const QRectF& a, const QRectF& b)
{
    const QRectF i = a.intersected(b);
    if (i.isEmpty())
        return 0.0;
    const double ai = i.width() * i.height();
    return ai / (a.width() * a.height() + b.width() * b.height() - ai);
}

std::vector<int> emparejarCaras(const std::vector<CaraMedida>& caras, const std::vector<QRectF>& cajas)
{
    std::vector<int> de(caras.size(), -1);
    std::vector<bool> usada(cajas.size(), false);
    for (size_t i = 0; i < caras.size(); ++i) {
        double mejor = 0.3;
        for (size_t k = 0; k < cajas.size(); ++k)
            if (const double v = std::max(iou(caras[i].caja, cajas[k]), iou(caras[i].nucleo, cajas[k]));
                !usada[k] && v >= mejor) {
                mejor = v;
                de[i] = static_cast<int>(k);
            }
        if (de[i] >= 0)
            usada[static_cast<size_t>(de[i])] = true;
    }
    return de;
}

double cobertura(const QRectF& cara, const QRectF& caja)
{
    const QRectF comun = cara.intersected(caja);
    return comun.isEmpty() ? 0.0 : comun.width() * comun.height() / (cara.width() * cara.height());
}

QString bandaDeAncho(double ancho)
{
    for (const auto& [a, b] : kBandas)
        if (ancho < b)
            return QStringLiteral("%1-%2 px").arg(a).arg(b);
    return QStringLiteral("160-300 px");
}

bool cargarFuentesCaras(const QString& parte, FuentesCaras& f, QString& error)
{
    QFile lista(QStringLiteral(ZORV_RAIZ "/bench/caras_fuentes.tsv"));
    if (!lista.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = lista.fileName() + QStringLiteral(": no se puede leer");
        return false;
    }
    QHash<QString, QImage> fotos;
    QHash<QString, std::vector<QRectF>> cajas;
    std::vector<QStringList> filas;
    QTextStream in(&lista);
    while (!in.atEnd()) {
        const QString linea = in.readLine();
        if (linea.startsWith(QLatin1Char('#')) || linea.trimmed().isEmpty())
            continue;
        const QStringList c = linea.split(QLatin1Char('\t'));
        if (c.size() < 4)
            continue;
        if (c[0] == QLatin1String("cara") && c.size() >= 10)
            cajas[c[3]].push_back(QRectF(c[4].toDouble(), c[5].toDouble(), c[6].toDouble(), c[7].toDouble()));
        if (c[1] == parte)
            filas.push_back(c);
    }
    std::set<QString> personas;
    for (const QStringList& c : filas) {
        if (!fotos.contains(c[3])) {
            const QImage img(carpetaFuentesCaras() + c[3]);
            if (img.isNull()) {
                error = QStringLiteral("falta %1 (%2); se trae con bench/caras_fuentes.sh").arg(c[3], c[2]);
                return false;
            }
            fotos.insert(c[3], img.convertToFormat(QImage::Format_RGB32));
        }
        if (c[0] == QLatin1String("fondo")) {
            f.fondos.push_back(fotos[c[3]]);
            continue;
        }
        FuenteCara cara;
        cara.foto = fotos[c[3]];
        cara.caja = QRectF(c[4].toDouble(), c[5].toDouble(), c[6].toDouble(), c[7].toDouble());
        for (const QRectF& o : cajas[c[3]])
            if (o != cara.caja)
                cara.otras.push_back(o);
        cara.pose = c[8];
        cara.persona = c[9];
        personas.insert(c[9]);
        f.caras.push_back(cara);
    }
    f.personas = static_cast<int>(personas.size());
    if (f.caras.empty() || f.fondos.empty()) {
        error = QStringLiteral("la parte %1 no tiene caras o fondos").arg(parte);
        return false;
    }
    return true;
}

FotogramaMedido fotogramaMedido(const FuentesCaras& f, int indice, uint32_t semilla)
{
    std::mt19937 azar(semilla * 1000003u + static_cast<uint32_t>(indice) * 7919u);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    FotogramaMedido m;
    m.degradacion = QString::fromLatin1(kDegradaciones[static_cast<size_t>(indice) % kDegradaciones.size()]);
    QImage img = mosaicoDeFondos(f, azar);
    const bool sinCaras = indice % 10 == 9;
    QPainter pintor(&img);
    pintor.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int k = 0; k < kCarasPorFotograma && !sinCaras; ++k) {
        const auto [bajo, alto] = kBandas[static_cast<size_t>(indice + k) % kBandas.size()];
        const double ancho = bajo + (alto - bajo) * u(azar);
        std::vector<const FuenteCara*> aptas;
        for (const FuenteCara& c : f.caras)
            if (c.caja.width() * kAumentoMaximo >= ancho)
                aptas.push_back(&c);
        if (aptas.empty())
            for (const FuenteCara& c : f.caras)
                if (aptas.empty() || c.caja.width() > aptas[0]->caja.width())
                    aptas = {&c};
        const FuenteCara& fuente = *aptas[azar() % aptas.size()];
        const double s = ancho / fuente.caja.width();
        CaraMedida cm;
        cm.ancho = ancho;
        cm.pose = fuente.pose;
        const double efecto = u(azar);
        cm.girada = efecto < 0.15;
        cm.tapada = efecto >= 0.15 && efecto < 0.27;
        const bool arriba = efecto >= 0.27 && efecto < 0.39;
        if (arriba)
            cm.pose = QStringLiteral("desde arriba");
        const QRectF c = fuente.caja;
        const double lado = 2.6 * std::max(c.width(), c.height());
        const QRectF origen = QRectF(c.center().x() - lado / 2, c.center().y() - lado / 2 + 0.25 * c.height(), lado, lado)
                                  .intersected(QRectF(fuente.foto.rect()));
        const QImage trozo = recorteCara(fuente, origen, s, cm.tapada, azar);
        // Where the trozo goes, as a transform of its own pixels: rolled about the face's
        // centre, or squeezed into a trapezoid like a face seen from a camera high on a wall.
        const QPointF centro = (c.center() - origen.topLeft()) * s;
        QTransform t;
        if (cm.girada) {
            const double grados = (15.0 + 25.0 * u(azar)) * (azar() % 2 ? 1 : -1);
            t = QTransform().translate(centro.x(), centro.y()).rotate(grados).translate(-centro.x(), -centro.y());
        } else if (arriba) {
            const QRectF r(0, 0, trozo.width(), trozo.height());
            QPolygonF trapecio;
            trapecio << r.topLeft() << r.topRight() << QPointF(0.88 * r.width(), 0.8 * r.height())
                     << QPointF(0.12 * r.width(), 0.8 * r.height());
            QTransform::quadToQuad(QPolygonF(r).mid(0, 4), trapecio, t);
        }
        const QRectF enteraTrozo = QTransform::fromScale(s, s).mapRect(caraEntera(c).translated(-origen.topLeft()));
        const QRectF enteraMovida = t.map(QPolygonF(enteraTrozo)).boundingRect();
        // The faded head and shoulders reach about a face beyond the face on each side:
        // neither face may fall under the other's.
        const auto alrededor = [](const QRectF& r) {
            return r.adjusted(-r.width(), -r.height(), r.width(), r.height());
        };
        for (int intento = 0; intento < 200; ++intento) {
            const double dx = 4 + u(azar) * (kAncho - 8 - enteraMovida.width()) - enteraMovida.x();
            const double dy = 4 + u(azar) * (kAlto - 8 - enteraMovida.height()) - enteraMovida.y();
            const QRectF caja = enteraMovida.translated(dx, dy);
            const bool libre = std::none_of(m.caras.begin(), m.caras.end(), [&](const CaraMedida& o) {
                return alrededor(o.caja).intersects(caja) || alrededor(caja).intersects(o.caja);
            });
            if (!libre)
                continue;
            pintor.setTransform(t * QTransform::fromTranslate(dx, dy));
            pintor.drawImage(QPointF(0, 0), trozo);
            cm.caja = caja;
            const QRectF recta = QTransform::fromScale(s, s).mapRect(caraEntera(c));
            cm.nucleo = QRectF(QPointF(), recta.size());
            cm.nucleo.moveCenter((t * QTransform::fromTranslate(dx, dy)).map(enteraTrozo.center()));
            if (!cm.girada)
                cm.nucleo = caja;
            m.caras.push_back(cm);
            break;
        }
    }
    pintor.end();
    degradar(img, m.degradacion, azar);
    const int calidad = m.degradacion == QLatin1String("jpeg") ? 10 + static_cast<int>(azar() % 31) : 85;
    m.jpeg = codificada(img, "JPEG", calidad);
    m.imagen = QImage::fromData(m.jpeg, "JPEG");
    return m;
}

#include "grabadores/vstarcam.h"

#include "comun/ejecutar.h"
#include "grabadores/ayudas.h"
#include "grabadores/descargas.h"
#include "grabadores/extensiones.h"
#include "grabadores/hxvt.h"
#include "grabadores/identificar.h"
#include "grabadores/listado.h"
#include "grabadores/reanudar.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <functional>

namespace {

constexpr int MAXIMO = 3000;

const QSet<QString>& extensionesCrudas() {
    static const QSet<QString> s = {QStringLiteral(".264"), QStringLiteral(".265"),
                                    QStringLiteral(".h264"), QStringLiteral(".h265")};
    return s;
}

QString ultimoComponente(const QString& ruta) { return ruta.mid(ruta.lastIndexOf(QLatin1Char('/')) + 1); }

// "." + the extension of the last component in lower case; "." when it has none.
QString extensionDe(const QString& ruta) {
    const QString nombre = ultimoComponente(ruta);
    const qsizetype punto = nombre.lastIndexOf(QLatin1Char('.'));
    return punto < 0 ? QStringLiteral(".") : nombre.mid(punto).toLower();
}

QString sinExtension(const QString& nombre) {
    const qsizetype punto = nombre.lastIndexOf(QLatin1Char('.'));
    return punto < 0 ? nombre : nombre.left(punto);
}

void borrar(const QString& ruta) { QFile::remove(ruta); }

}  // namespace

QStringList linksDePagina(const QString& pagina, const QString& ruta) {
    QString carpeta = ruta;
    if (carpeta.endsWith(QLatin1Char('/'))) carpeta.chop(1);
    QStringList res;
    for (const QStringList& m : grupos(pagina, QStringLiteral("href=\"([^\"]+)\""))) {
        const QString& link = m.at(1);
        if (link.startsWith(QLatin1Char('?')) || uno(link, QStringLiteral("\\.\\.(/)?$")))
            continue;
        res << (link.startsWith(QLatin1Char('/')) ? link : carpeta + QLatin1Char('/') + link);
    }
    return res;
}

QStringList indiceLinks(const Origen& origen, const QString& ruta) {
    const Http h = pedir(origen, baseWeb(origen) + ruta, QStringLiteral("GET"), std::nullopt,
                         std::nullopt, {}, true);
    return linksDePagina(h.texto(), ruta);
}

bool diaEnPeriodo(const QString& link, const QDateTime& inicio, const QDateTime& fin) {
    const auto digitos = uno(link, QStringLiteral("/(\\d{8})/?$"));
    if (!digitos) return false;
    const auto dia = fmt(QStringLiteral("yyyyMMdd"), false).fecha(*digitos);
    if (!dia) return false;
    // Whole days: the day folder of the period's first day counts even if the period
    // started late that day.
    const QDate d = dia->toLocalTime().date();
    return d >= inicio.toLocalTime().date() && d <= fin.toLocalTime().date();
}

FicheroPtr ficheroVStarcam(const QString& ruta, const OrigenPtr& origen, const QDateTime& inicio,
                           const QDateTime& fin) {
    const QString nombre = ultimoComponente(ruta);
    if (!esGrabacion(nombre)) return nullptr;
    const QString ext = extensionDe(ruta);
    std::optional<QDateTime> fecha;
    const auto hora = grupos(nombre, QStringLiteral("(\\d{6})[_-](\\d{6})"));
    if (!hora.isEmpty())
        fecha = fmt(QStringLiteral("yyMMddHHmmss"), false).fecha(hora[0][1] + hora[0][2]);
    // A file whose name carries no readable time is offered whatever the period.
    if (fecha && (*fecha < inicio || *fecha > fin)) return nullptr;
    const bool crudo = extensionesCrudas().contains(ext);
    auto f = std::make_shared<Fichero>(
        componenteSeguro(nombreFecha(fecha, crudo ? QStringLiteral(".mp4") : ext, sinExtension(nombre))),
        fecha, 0, ruta, origen, ruta);
    f->crudo = crudo;
    return f;
}

Listado listarVStarcam(const OrigenPtr& origen, const Consulta& consulta) {
    const auto [inicio, fin] = consulta.fechas();
    QStringList dias = indiceLinks(*origen, QStringLiteral("/sd/"));
    std::sort(dias.begin(), dias.end(), std::greater<QString>());
    Listado l;
    // A folder that cannot be read ends the walk; what the folders before it held stays.
    auto carpeta = [&](const QString& ruta, QStringList& links) {
        return pasoListado(l, QStringLiteral("la carpeta ") + ruta, [&] { links = indiceLinks(*origen, ruta); });
    };
    for (QString dia : dias) {
        if (!diaEnPeriodo(dia, inicio, fin)) continue;
        if (!dia.endsWith(QLatin1Char('/'))) dia += QLatin1Char('/');
        QStringList subcarpetas;
        if (!carpeta(dia, subcarpetas)) return l;
        for (const QString& sub : subcarpetas) {
            if (!sub.endsWith(QLatin1Char('/'))) continue;
            QStringList links;
            if (!carpeta(sub, links)) return l;
            for (const QString& link : links) {
                if (link.endsWith(QLatin1Char('/'))) continue;
                if (auto f = ficheroVStarcam(link, origen, inicio, fin)) l.ficheros << f;
                if (l.ficheros.size() >= MAXIMO) return l;
            }
        }
    }
    return l;
}

namespace {

// Frames of the first video stream as ffprobe reads them, and the longest run of frames
// from one key frame to the next; nothing when it reads no video.
struct Cuadros {
    qint64 total = 0, gop = 0;
};
std::optional<Cuadros> cuadrosDe(const QString& ffprobe, const QString& ruta) {
    const ResultadoProceso r =
        ejecutar(ffprobe,
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"), QStringLiteral("v:0"),
                  QStringLiteral("-show_entries"), QStringLiteral("packet=flags"), QStringLiteral("-of"),
                  QStringLiteral("csv=p=0"), ruta},
                 1800.0);
    if (r.estado != 0) return std::nullopt;
    Cuadros c;
    qint64 clave = 0;
    for (QStringView linea : QStringView(r.salida).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (linea.startsWith(QLatin1Char('K'))) {
            c.gop = std::max(c.gop, c.total - clave);
            clave = c.total;
        }
        ++c.total;
    }
    c.gop = std::max(c.gop, c.total - clave);
    if (c.total == 0) return std::nullopt;
    return c;
}

// Why the MP4 is not the recording, or "" when it holds the raw stream's frames: ffmpeg
// can end well without its index (a full disk when it writes the trailer) or with a
// stream cut short.
QString faltaEnConversion(const QString& ffprobe, const QString& crudo, const QString& mp4) {
    const std::optional<Cuadros> hecho = cuadrosDe(ffprobe, mp4);
    if (!hecho) return QStringLiteral("el MP4 convertido no tiene vídeo que se pueda leer");
    const std::optional<Cuadros> grabado = cuadrosDe(ffprobe, crudo);
    if (!grabado) return QStringLiteral("no se pudieron contar los fotogramas grabados");
    // A conversion may drop an unfinished group of pictures at the end, never more.
    if (std::abs(hecho->total - grabado->total) > std::max<qint64>(grabado->gop, 1))
        return QStringLiteral("el MP4 convertido tiene %1 de los %2 fotogramas grabados")
            .arg(hecho->total)
            .arg(grabado->total);
    return {};
}

}  // namespace

void descargarVStarcam(const Fichero& fichero, const QString& destino, const QString& ffmpeg,
                       const Progreso& progreso, Reanudacion* reanudar) {
    const QString ext = extensionDe(fichero.dato);
    const QString temporal = temporalDescarga(destino);
    const BloqueoParcial bloqueo(temporal);
    try {
        pedirFichero(*fichero.origen, baseWeb(*fichero.origen) + fichero.dato, QStringLiteral("GET"),
                     std::nullopt, temporal, progreso, reanudar);
        rechazarAviso(temporal);
        exigirTamano(temporal, fichero.tamano, reanudar != nullptr);
    } catch (const ErrorTransitorio&) {
        if (!reanudar) borrar(temporal);
        throw;
    } catch (const ErrorCamara&) {
        borrar(temporal);  // the lock made it, whether the request got that far or not
        throw;
    }
    if (!fichero.crudo) {
        renombrarDescarga(temporal, destino);
        return;
    }
    if (progreso) progreso(100);

    QFile descargado(temporal);
    if (!descargado.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || descargado.size() == 0) {
        borrar(temporal);
        throw ErrorCamara(QStringLiteral("descarga vacía"));
    }
    const QString crudoRuta = temporal + (ext == QLatin1String(".264") || ext == QLatin1String(".h264")
                                              ? QStringLiteral(".h264")
                                              : QStringLiteral(".h265"));
    QString entrada = temporal;
    if (descargado.size() >= 4 && descargado.peek(2) == "HX") {
        const BloqueoParcial bloqueoCrudo(crudoRuta);
        QFile video(crudoRuta);
        int64_t bloques = -1;
        if (video.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            bloques = desHXVT(descargado, video);
        video.close();
        if (bloques < 0) {
            borrar(temporal);
            borrar(crudoRuta);
            throw ErrorCamara(QStringLiteral("no se pudo extraer el vídeo de la descarga"));
        }
        if (bloques >= 1) entrada = crudoRuta;
    }
    descargado.close();

    // ffmpeg writes beside the destination and the result takes its name only when ffmpeg
    // ended well and the MP4 holds what was recorded.
    const QString sufijo = QFileInfo(destino).suffix();
    const QString convertido =
        temporal + QLatin1Char('.') + (sufijo.isEmpty() ? QStringLiteral("mp4") : sufijo);
    const BloqueoParcial bloqueoConvertido(convertido);
    const ResultadoProceso r = ejecutar(
        ffmpeg,
        {QStringLiteral("-y"), QStringLiteral("-loglevel"), QStringLiteral("error"),
         QStringLiteral("-fflags"), QStringLiteral("+genpts"), QStringLiteral("-framerate"),
         QStringLiteral("25"), QStringLiteral("-i"), entrada, QStringLiteral("-c"),
         QStringLiteral("copy"), QStringLiteral("-movflags"), QStringLiteral("+faststart"),
         convertido},
        1800.0);
    const QString ffprobe = QFileInfo(ffmpeg).absolutePath() + QStringLiteral("/ffprobe");
    const QString falta = r.estado != 0 || QFileInfo(convertido).size() == 0
                              ? QStringLiteral("no se pudo convertir el vídeo")
                              : faltaEnConversion(ffprobe, entrada, convertido);
    borrar(crudoRuta);
    if (!falta.isEmpty()) {
        borrar(convertido);
        // The downloaded bytes are what the camera recorded: they stay, under their own
        // raw extension beside the destination, for the caller to keep.
        const QFileInfo d(destino);
        const QString original = d.path() + QLatin1Char('/') + d.completeBaseName() + ext;
        renombrarDescarga(temporal, original);
        throw ConversionFallida(falta, original);
    }
    borrar(temporal);
    renombrarDescarga(convertido, destino);
}

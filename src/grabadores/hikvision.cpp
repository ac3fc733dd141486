#include "grabadores/hikvision.h"

#include "grabadores/ayudas.h"
#include "grabadores/canales.h"
#include "grabadores/descargas.h"
#include "grabadores/reanudar.h"
#include "grabadores/identificar.h"
#include "grabadores/listado.h"
#include "grabadores/reloj.h"

#include <QUuid>

namespace {

constexpr int POR_PAGINA = 100;
constexpr int MAXIMO = 5000;

QString fechaBusqueda(const QDateTime& f) {
    return fmt(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"), true).texto(f);
}

// Times come back as internet date-times with their zone ("Z" or "+08:00").
std::optional<QDateTime> leerHora(const QString& item, const QString& elemento) {
    const auto texto = uno(item, QStringLiteral("<%1>(.*?)</%1>").arg(elemento));
    if (!texto) return std::nullopt;
    return fmt(QStringLiteral("yyyy-MM-dd'T'HH:mm:ssXXXXX"), true).fecha(*texto);
}

int64_t tamanoDe(const QString& uri) {
    bool ok = false;
    const int64_t n = uno(uri, QStringLiteral("size=(\\d+)")).value_or(QString()).toLongLong(&ok);
    return ok ? n : 0;
}

}  // namespace

QString cuerpoBusquedaHikvision(const QString& searchID, const QDateTime& inicio,
                                const QDateTime& fin, int posicion, int canal) {
    // "searchResultPostion" is the element's name on the devices, spelled so.
    return QStringLiteral("<?xml version='1.0' encoding='utf-8'?><CMSearchDescription><searchID>") +
           searchID +
           QStringLiteral("</searchID><trackIDList><trackID>") + QString::number(canal * 100 + 1) +
           QStringLiteral("</trackID></trackIDList><timeSpanList><timeSpan><startTime>") +
           fechaBusqueda(inicio) + QStringLiteral("</startTime><endTime>") + fechaBusqueda(fin) +
           QStringLiteral("</endTime></timeSpan></timeSpanList><maxResults>100</maxResults>"
                          "<searchResultPostion>") +
           QString::number(posicion) +
           QStringLiteral("</searchResultPostion><metadataList><metadataDescriptor>"
                          "//recordType.meta.std-cgi.com</metadataDescriptor></metadataList>"
                          "</CMSearchDescription>");
}

QList<FicheroPtr> leerPaginaHikvision(const QString& respuesta, const OrigenPtr& origen) {
    QList<FicheroPtr> res;
    const auto items = grupos(respuesta, QStringLiteral("<searchMatchItem>(.*?)</searchMatchItem>"));
    for (const QStringList& m : items) {
        const QString& item = m.at(1);
        const QString uri = htmlDecode(uno(item, QStringLiteral("<playbackURI>(.*?)</playbackURI>"))
                                           .value_or(QString()));
        const auto inicio = leerHora(item, QStringLiteral("startTime"));
        const auto fin = leerHora(item, QStringLiteral("endTime"));
        const QString hasta =
            fin ? fmt(QStringLiteral("HH:mm:ss"), false).texto(*fin) : QStringLiteral("?");
        res << std::make_shared<Fichero>(nombreFecha(inicio, QStringLiteral(".mp4")), inicio,
                                         tamanoDe(uri), QStringLiteral("hasta ") + hasta, origen, uri);
    }
    return res;
}

namespace {

// One channel's main stream, page by page.
Listado buscarCanal(const OrigenPtr& origen, const Canal& canal, const QDateTime& inicio, const QDateTime& fin) {
    const QString url = baseWeb(*origen) + QStringLiteral("/ISAPI/ContentMgmt/search");
    Listado l;
    int posicion = 0;
    for (int numero = 1;; ++numero) {
        // Devices keep a search by its ID: each page is a new search from `posicion`. Only
        // the device asked lists its recordings: a redirection elsewhere is an answer.
        const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        QList<FicheroPtr> pagina;
        if (!pasoListado(l, QStringLiteral("la página %1").arg(numero), [&] {
                const Http h = pedir(*origen, url, QStringLiteral("POST"),
                                     cuerpoBusquedaHikvision(id, inicio, fin, posicion, canal.numero), std::nullopt,
                                     {}, true);
                pagina = leerPaginaHikvision(h.texto(), origen);
            }))
            break;
        if (pagina.isEmpty()) break;
        l.ficheros << pagina;
        posicion += int(pagina.size());
        if (pagina.size() < POR_PAGINA || posicion >= MAXIMO) break;
    }
    return l;
}

}  // namespace

Listado listarHikvision(const OrigenPtr& origen, const Consulta& consulta) {
    // Named, not bound: a structured binding cannot be captured by the search below.
    const auto fechas = consulta.fechas();
    const QDateTime inicio = fechas.first, fin = fechas.second;
    Listado l;
    // Its times carry their offset: the clock is read for the record alone.
    if (const auto reloj = relojHikvision(*origen)) l.desfaseReloj = reloj->desfase;
    l.canales = canalesHikvision(*origen);
    l.juntar(porCanales(canalesPedidos(l.canales, consulta.canal), consulta.simultaneas,
                        [&](const Canal& c) { return buscarCanal(origen, c, inicio, fin); }, consulta.avance));
    return l;
}

QString cuerpoDescargaHikvision(const QString& uri) {
    return QStringLiteral("<?xml version='1.0'?><downloadRequest><playbackURI>") + htmlEncode(uri) +
           QStringLiteral("</playbackURI></downloadRequest>");
}

void descargarHikvision(const Fichero& fichero, const QString& destino, const Progreso& progreso, Reanudacion* r) {
    // Straight into `destino`: the client removes it again unless a whole 200 arrived. Some
    // devices answer a refused download with a 200 and a status document, and send a
    // recording without its length, so a cut one ends as cleanly as a whole one.
    pedirFichero(*fichero.origen, baseWeb(*fichero.origen) + QStringLiteral("/ISAPI/ContentMgmt/download"),
          QStringLiteral("POST"), cuerpoDescargaHikvision(fichero.dato), destino, progreso, r);
    rechazarAviso(destino);
    exigirTamano(destino, fichero.tamano, r != nullptr);
}

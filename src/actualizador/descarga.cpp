#include "actualizador/descarga.h"

#include <QSaveFile>
#include <curl/curl.h>

namespace {

// latest.json is a few hundred bytes; a server that streams without end must not
// exhaust memory.
constexpr qsizetype kMaximoEnMemoria = 4 << 20;

struct Caja {
    QByteArray datos;
    QSaveFile* archivo = nullptr;
    bool excedido = false;
};

size_t recibir(char* p, size_t, size_t n, void* usuario)
{
    Caja* caja = static_cast<Caja*>(usuario);
    if (caja->archivo)
        return caja->archivo->write(p, static_cast<qint64>(n)) == static_cast<qint64>(n) ? n : 0;
    if (caja->datos.size() + static_cast<qsizetype>(n) > kMaximoEnMemoria) {
        caja->excedido = true;
        return 0;
    }
    caja->datos.append(p, static_cast<qsizetype>(n));
    return n;
}

} // namespace

std::optional<QByteArray> descargar(const QString& url, const QString& destino, bool permitirHttp)
{
    static const bool iniciado = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!iniciado || url.isEmpty())
        return std::nullopt;
    CURL* curl = curl_easy_init();
    if (!curl)
        return std::nullopt;
    Caja caja;
    QSaveFile archivo(destino);
    if (!destino.isEmpty()) {
        if (!archivo.open(QIODevice::WriteOnly)) {
            curl_easy_cleanup(curl);
            return std::nullopt;
        }
        caja.archivo = &archivo;
    }
    const QByteArray direccion = url.toUtf8();
    const char* protocolos = permitirHttp ? "http,https" : "https";
    curl_easy_setopt(curl, CURLOPT_URL, direccion.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, protocolos);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, protocolos);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "ZorvPlayer");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // No overall limit (a package may be large on a slow line), but a stalled
    // transfer must end.
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 60L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, recibir);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &caja);
    const CURLcode r = curl_easy_perform(curl);
    long estado = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &estado);
    curl_easy_cleanup(curl);
    if (r != CURLE_OK || estado != 200) {
        if (caja.archivo)
            archivo.cancelWriting();
        return std::nullopt;
    }
    if (caja.archivo)
        return archivo.commit() ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
    return caja.datos;
}

#include "actualizador/descarga.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// latest.json is a few hundred bytes; a server that streams without end must not
// exhaust memory.
constexpr qsizetype kMaximoEnMemoria = 4 << 20;

struct Caja {
    QByteArray datos;
    QFile* archivo = nullptr;
};

size_t recibir(char* p, size_t, size_t n, void* usuario)
{
    Caja* caja = static_cast<Caja*>(usuario);
    if (caja->archivo)
        return caja->archivo->write(p, static_cast<qint64>(n)) == static_cast<qint64>(n) ? n : 0;
    if (caja->datos.size() + static_cast<qsizetype>(n) > kMaximoEnMemoria)
        return 0;
    caja->datos.append(p, static_cast<qsizetype>(n));
    return n;
}

// A file of our own beside the destination, created new (O_EXCL): a link planted at
// the destination or at a guessable temporary name is never written through.
class Temporal {
public:
    explicit Temporal(const QString& destino)
    {
        const QFileInfo info(destino);
        nombre = QFile::encodeName(info.path() + QStringLiteral("/.") + info.fileName()
                                   + QStringLiteral(".XXXXXX"));
        const int fd = mkostemp(nombre.data(), O_CLOEXEC);
        if (fd < 0 || !archivo.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
            if (fd >= 0)
                ::close(fd);
            nombre.clear();
        }
    }
    ~Temporal()
    {
        if (!nombre.isEmpty())
            ::unlink(nombre.constData());
    }
    bool valido() const { return !nombre.isEmpty(); }
    QFile* get() { return &archivo; }
    // Renaming replaces whatever is at the destination, a link included, without
    // following it.
    bool colocar(const QString& destino)
    {
        const bool escrito = archivo.flush() && ::fsync(archivo.handle()) == 0;
        archivo.close();
        if (!escrito || ::rename(nombre.constData(), QFile::encodeName(destino).constData()) != 0)
            return false;
        nombre.clear();
        return true;
    }

private:
    QByteArray nombre;
    QFile archivo;
};

} // namespace

std::optional<QByteArray> descargar(const QString& url, const QString& destino, bool permitirHttp,
                                    const QString& certificados)
{
    static const bool iniciado = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!iniciado || url.isEmpty())
        return std::nullopt;
    std::optional<Temporal> temporal;
    Caja caja;
    if (!destino.isEmpty()) {
        temporal.emplace(destino);
        if (!temporal->valido())
            return std::nullopt;
        caja.archivo = temporal->get();
    }
    CURL* curl = curl_easy_init();
    if (!curl)
        return std::nullopt;
    const QByteArray direccion = url.toUtf8();
    const char* protocolos = permitirHttp ? "http,https" : "https";
    curl_easy_setopt(curl, CURLOPT_URL, direccion.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, protocolos);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, protocolos);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    const QByteArray ca = QFile::encodeName(certificados);
    if (!ca.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, ca.constData());
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
    if (r != CURLE_OK || estado != 200)
        return std::nullopt;
    if (temporal)
        return temporal->colocar(destino) ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
    return caja.datos;
}

#include "grabadores/http.h"

#include <curl/curl.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <unistd.h>

#include <chrono>
#include <vector>
#include <mutex>

namespace {

using Reloj = std::chrono::steady_clock;

// What the callbacks need beside the object they fill in.
struct Transferencia {
    Http& h;
    CURL* curl = nullptr;
    std::vector<curl_socket_t> conexiones;  // sockets curl has open, to ask the kernel
    Reloj::time_point ultimaActividad = Reloj::now();
    std::chrono::milliseconds inactividad;
    bool inactivo = false;
    bool demasiado = false;
    bool fallaEscritura = false;
};

void iniciarCurl() {
    static std::once_flag hecho;
    std::call_once(hecho, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool urlValida(const QString& url) {
    CURLU* u = curl_url();
    const QByteArray b = url.toUtf8();
    const bool ok = curl_url_set(u, CURLUPART_URL, b.constData(), 0) == CURLUE_OK;
    curl_url_cleanup(u);
    return ok;
}

size_t alCabecera(char* buf, size_t tam, size_t n, void* p) {
    auto& t = *static_cast<Transferencia*>(p);
    t.ultimaActividad = Reloj::now();
    leerLineaCabecera(t.h, QByteArray(buf, qsizetype(tam * n)));
    return tam * n;
}

size_t alCuerpo(char* buf, size_t tam, size_t n, void* p) {
    auto& t = *static_cast<Transferencia*>(p);
    Http& h = t.h;
    const size_t largo = tam * n;
    t.ultimaActividad = Reloj::now();
    if (h.salida && h.salida->isOpen() && h.estado == 200) {
        if (h.salida->write(buf, qint64(largo)) != qint64(largo)) {
            t.fallaEscritura = true;
            return 0;
        }
        h.total += int64_t(largo);
        if (h.esperado > 0 && h.progreso) h.progreso(int(h.total * 100 / h.esperado));
        return largo;
    }
    if (int64_t(h.datos.size()) + int64_t(largo) > Http::MAXIMO_EN_MEMORIA) {
        t.demasiado = true;
        return 0;
    }
    h.datos.append(buf, qsizetype(largo));
    return largo;
}

// Silence, not slowness, ends a request: curl's own low-speed limit would also cut a
// device that sends a little at a time.
int alAvance(void* p, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto& t = *static_cast<Transferencia*>(p);
    const auto ahora = Reloj::now();
    if (ahora - t.ultimaActividad < std::chrono::milliseconds(250)) return 0;  // data is flowing
    // Header lines reach us only once complete; the socket itself knows when the last
    // byte came in, so a device that answers a byte at a time is not taken for silent.
    for (curl_socket_t s : t.conexiones) {
        tcp_info ti{};
        socklen_t largo = sizeof ti;
        if (getsockopt(s, IPPROTO_TCP, TCP_INFO, &ti, &largo) != 0 ||
            ti.tcpi_state != 1 /* established */)
            continue;
        const auto recibido = ahora - std::chrono::milliseconds(ti.tcpi_last_data_recv);
        if (recibido > t.ultimaActividad) t.ultimaActividad = recibido;
    }
    if (ahora - t.ultimaActividad > t.inactividad) {
        t.inactivo = true;
        return 1;
    }
    return 0;
}

curl_socket_t alAbrir(void* p, curlsocktype, curl_sockaddr* d) {
    auto& t = *static_cast<Transferencia*>(p);
    const curl_socket_t s = socket(d->family, d->socktype | SOCK_CLOEXEC, d->protocol);
    if (s != CURL_SOCKET_BAD) t.conexiones.push_back(s);
    return s;
}

int alCerrar(void* p, curl_socket_t s) {
    auto& t = *static_cast<Transferencia*>(p);
    std::erase(t.conexiones, s);
    return close(s);
}

QString mensajeDe(CURLcode c) {
    switch (c) {
    case CURLE_UNSUPPORTED_PROTOCOL: return QStringLiteral("protocolo no admitido");
    case CURLE_PARTIAL_FILE:
        return QStringLiteral("la cámara cortó la transferencia antes de terminar");
    case CURLE_GOT_NOTHING: return QStringLiteral("la cámara cerró la conexión sin responder");
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR: return QStringLiteral("se perdió la conexión con la cámara");
    case CURLE_SSL_CONNECT_ERROR:
        return QStringLiteral("no se pudo establecer la conexión segura con la cámara");
    case CURLE_TOO_MANY_REDIRECTS: return QStringLiteral("demasiadas redirecciones");
    case CURLE_WEIRD_SERVER_REPLY:
        return QStringLiteral("la cámara respondió algo que no es HTTP");
    default:
        return QStringLiteral("error de red: ") + QString::fromUtf8(curl_easy_strerror(c));
    }
}

void configurar(CURL* c, Transferencia& t, const QByteArray& url, const QByteArray& metodo,
                const QByteArray& cuerpo, bool hayCuerpo, double timeout, bool aFichero,
                curl_slist* cabeceras) {
    Http& h = t.h;
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(c, CURLOPT_UNRESTRICTED_AUTH, 0L);  // no credentials to another host
    curl_easy_setopt(c, CURLOPT_USERAGENT, "ZorvPlayer");
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, cabeceras);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);  // devices carry self-made certificates
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    // Devices sit on the local network: a proxy from the environment would only take the
    // request (and its credentials) somewhere else.
    curl_easy_setopt(c, CURLOPT_PROXY, "");
    curl_easy_setopt(c, CURLOPT_BUFFERSIZE, 256L * 1024);  // fewer, larger writes to the file
    const long ms = long(timeout * 1000);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, ms);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, aFichero ? 21600L * 1000 : 3 * ms);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, alAvance);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, alAbrir);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, &t);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, alCerrar);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, &t);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, alCabecera);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, alCuerpo);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    if (!h.usuario.isEmpty()) {
        // Offered only when the server asks, never up front, as digest or basic.
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, long(CURLAUTH_DIGEST | CURLAUTH_BASIC));
        curl_easy_setopt(c, CURLOPT_USERNAME, h.usuario.toUtf8().constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, h.clave.toUtf8().constData());
    }
    if (hayCuerpo) {
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(cuerpo.size()));
        curl_easy_setopt(c, CURLOPT_COPYPOSTFIELDS, cuerpo.constData());
    } else if (metodo == "POST") {
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(0));
        curl_easy_setopt(c, CURLOPT_COPYPOSTFIELDS, "");
    }
    if (metodo == "HEAD") curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    else if (metodo != "GET" && metodo != "POST")
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, metodo.constData());
    else if (metodo == "GET" && hayCuerpo)
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, "GET");
}

}  // namespace

void leerLineaCabecera(Http& h, const QByteArray& bytes) {
    const QString linea = QString::fromLatin1(bytes).trimmed();
    if (linea.startsWith(QLatin1String("HTTP/"))) {
        const int codigo = linea.section(QLatin1Char(' '), 1, 1).toInt();
        if (codigo >= 100 && codigo < 200) return;
        // A new response (after an authentication round or a redirection) replaces what
        // the previous one left: only the final response is reported.
        h.estado = codigo;
        h.cabeceras.clear();
        h.esperado = -1;
        h.datos.clear();
        if (codigo == 401 && !h.usuario.isEmpty() && h.intentosAuth <= 1) ++h.intentosAuth;
        return;
    }
    const qsizetype dos = linea.indexOf(QLatin1Char(':'));
    if (dos > 0) {
        const QString nombre = linea.left(dos).trimmed();
        const QString valor = linea.mid(dos + 1).trimmed();
        auto it = h.cabeceras.find(nombre);
        if (it != h.cabeceras.end()) *it += QStringLiteral(", ") + valor;
        else h.cabeceras.insert(nombre, valor);
        if (nombre.compare(QLatin1String("Content-Length"), Qt::CaseInsensitive) == 0) {
            bool ok = false;
            const qint64 v = valor.toLongLong(&ok);
            h.esperado = ok && v >= 0 ? v : -1;
        }
    }
}


Http Http::peticion(const QString& url, const QString& usuario, const QString& clave,
                    const QString& metodo, const std::optional<QString>& cuerpo,
                    double timeout, const std::optional<QString>& aFichero,
                    Progreso progreso) {
    if (!urlValida(url)) throw ErrorCamara(QStringLiteral("dirección no válida"));
    iniciarCurl();
    Http h(usuario, clave);

    curl_slist* cabeceras = curl_slist_append(nullptr, "Expect:");
    if (cuerpo) cabeceras = curl_slist_append(cabeceras, "Content-Type: application/xml");

    if (aFichero) {
        h.salida = std::make_shared<QFile>(*aFichero);
        if (!h.salida->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
            curl_slist_free_all(cabeceras);
            throw ErrorCamara(QStringLiteral("no se pudo crear el fichero ") + *aFichero);
        }
        h.progreso = std::move(progreso);
    }

    Transferencia t{h, nullptr, {}, Reloj::now(),
                    std::chrono::milliseconds(qint64(timeout * 1000))};
    CURL* c = curl_easy_init();
    t.curl = c;
    configurar(c, t, url.toUtf8(), metodo.toUtf8(), cuerpo ? cuerpo->toUtf8() : QByteArray(),
               cuerpo.has_value(), timeout, aFichero.has_value(), cabeceras);
    const CURLcode r = curl_easy_perform(c);
    curl_easy_cleanup(c);
    curl_slist_free_all(cabeceras);
    if (h.salida) h.salida->close();
    if (r == CURLE_OK) return h;

    h.error = int(r);
    // A failed download must not leave a truncated recording that looks complete.
    if (h.salida) h.salida->remove();
    if (t.demasiado)
        throw ErrorCamara(QStringLiteral("la respuesta de la cámara supera 64 MiB y se descarta"));
    if (t.fallaEscritura)
        throw ErrorCamara(QStringLiteral("no se pudo escribir el fichero ") + *aFichero);
    if (t.inactivo || r == CURLE_OPERATION_TIMEDOUT || r == CURLE_COULDNT_CONNECT ||
        r == CURLE_COULDNT_RESOLVE_HOST)
        throw ErrorCamara(QStringLiteral("la cámara no respondió"));
    throw ErrorCamara(mensajeDe(r));
}

std::optional<QString> Http::cabecera(const QString& nombre) const {
    const QString buscado = nombre.toLower();
    for (auto it = cabeceras.begin(); it != cabeceras.end(); ++it)
        if (it.key().toLower() == buscado) return it.value();
    return std::nullopt;
}

Http pedir(const Origen& origen, const QString& url, const QString& metodo,
           const std::optional<QString>& cuerpo, const std::optional<QString>& aFichero,
           Progreso progreso) {
    Http h = Http::peticion(url, origen.usuario, origen.clave, metodo, cuerpo, 20, aFichero,
                            std::move(progreso));
    if (h.estado == 404)
        throw ErrorCamara(
            QStringLiteral("la cámara no tiene esta ruta (quizá no es de esta familia)"));
    if (h.estado == 401) throw ErrorCamara(QStringLiteral("usuario o contraseña incorrectos"));
    if (h.estado >= 400)
        throw ErrorCamara(QStringLiteral("la cámara respondió ") + QString::number(h.estado));
    return h;
}

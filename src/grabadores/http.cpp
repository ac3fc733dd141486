#include "grabadores/http.h"

#include "grabadores/autenticacion.h"
#include "grabadores/ayudas.h"

#include <QRegularExpression>

#include <curl/curl.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <unistd.h>

#include <chrono>
#include <mutex>
#include <vector>

namespace {

using Reloj = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How often a waiting transfer looks at the clock: the idle limit holds to within this.
constexpr int VIGILANCIA_MS = 50;
constexpr int MAXIMO_REDIRECCIONES = 10;

void iniciarCurl() {
    static std::once_flag hecho;
    std::call_once(hecho, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// A URL as the transfer library parses it; what it yields is exactly what goes out.
class Direccion {
public:
    explicit Direccion(const QString& url) : u(curl_url()) {
        bien = curl_url_set(u, CURLUPART_URL, url.toUtf8().constData(), 0) == CURLUE_OK;
    }
    ~Direccion() { curl_url_cleanup(u); }
    Direccion(const Direccion&) = delete;
    Direccion& operator=(const Direccion&) = delete;

    bool valida() const { return bien; }
    CURLU* manejador() const { return u; }
    QByteArray parte(CURLUPart p) const {
        char* s = nullptr;
        if (curl_url_get(u, p, &s, 0) != CURLUE_OK) return {};
        const QByteArray b(s);
        curl_free(s);
        return b;
    }
    QString anfitrion() const { return QString::fromUtf8(parte(CURLUPART_HOST)).toLower(); }
    bool web() const {
        const QByteArray e = parte(CURLUPART_SCHEME).toLower();
        return e == "http" || e == "https";
    }
    // The request target of the request line, which digest signs.
    QByteArray destino() const {
        const QByteArray q = parte(CURLUPART_QUERY);
        return parte(CURLUPART_PATH) + (q.isEmpty() ? QByteArray() : '?' + q);
    }

private:
    CURLU* u;
    bool bien = false;
};

// One request and its one response.
struct Ronda {
    Ronda(Http& h, milliseconds inactividad) : h(h), inactividad(inactividad) {}
    Http& h;
    milliseconds inactividad;
    std::vector<curl_socket_t> conexiones;  // sockets curl has open, to ask the kernel
    CURL* curl = nullptr;
    Reloj::time_point ultimaActividad = Reloj::now();
    LecturaCabeceras lectura;
    QString redireccion;
    bool demasiado = false;
    bool fallaEscritura = false;
    bool empezado = false;  // the body of a response that goes to the file has begun
    bool distinto = false;  // a resume's range did not match the bytes held
};

// Whether the current response's body goes into the file: a 200, or the 206 a resume
// asked for.
bool alFichero(const Http& h) {
    return h.salida && h.salida->isOpen() && (h.estado == 200 || (h.estado == 206 && h.empalme));
}

// The first bytes of the body that goes to the file: a 200 starts the file over; a 206
// must start where the resume asked and not end before the bytes already held.
bool empezarCuerpo(Ronda& r) {
    Http& h = r.h;
    r.empezado = true;
    if (h.estado == 200) {
        h.empalme.reset();
        h.total = 0;
        return h.salida->resize(0) && h.salida->seek(0);
    }
    const auto rango = leerRango(h.cabecera(QStringLiteral("Content-Range")).value_or(QString()));
    // A device whose file is now shorter than what we hold has another file there.
    if (!rango || rango->first != h.empalme->inicio() || (rango->second >= 0 && rango->second < h.empalme->final())) {
        r.distinto = true;
        return false;
    }
    h.total = h.empalme->inicio();
    if (h.esperado >= 0) h.esperado += h.empalme->inicio();
    return true;
}

size_t alCabecera(char* buf, size_t tam, size_t n, void* p) {
    auto& r = *static_cast<Ronda*>(p);
    r.ultimaActividad = Reloj::now();
    // The status is the one curl read and acts on: its reading of a status line is more
    // lenient than a split at spaces ("HTTP/1.1  401" is a 401 to it).
    long estado = 0;
    if (r.lectura.esperaEstado) curl_easy_getinfo(r.curl, CURLINFO_RESPONSE_CODE, &estado);
    leerCabecera(r.h, r.lectura, QByteArrayView(buf, qsizetype(tam * n)), int(estado));
    return tam * n;
}

size_t alCuerpo(char* buf, size_t tam, size_t n, void* p) {
    auto& r = *static_cast<Ronda*>(p);
    Http& h = r.h;
    const size_t largo = tam * n;
    r.ultimaActividad = Reloj::now();
    if (alFichero(h)) {
        if (!r.empezado && !empezarCuerpo(r)) {
            r.fallaEscritura = !r.distinto;
            return 0;
        }
        auto paso = Empalme::Paso::sigue;
        if (h.empalme) paso = h.empalme->anadir(buf, int64_t(largo));
        else if (h.salida->write(buf, qint64(largo)) != qint64(largo)) paso = Empalme::Paso::falloEscritura;
        if (paso != Empalme::Paso::sigue) {
            r.distinto = paso == Empalme::Paso::distinto;
            r.fallaEscritura = !r.distinto;
            return 0;
        }
        h.total += int64_t(largo);
        if (h.esperado > 0 && h.progreso) h.progreso(int(h.total * 100 / h.esperado));
        return largo;
    }
    if (int64_t(h.datos.size()) + int64_t(largo) > Http::MAXIMO_EN_MEMORIA) {
        r.demasiado = true;
        return 0;
    }
    h.datos.append(buf, qsizetype(largo));
    return largo;
}

curl_socket_t alAbrir(void* p, curlsocktype, curl_sockaddr* d) {
    auto& r = *static_cast<Ronda*>(p);
    const curl_socket_t s = socket(d->family, d->socktype | SOCK_CLOEXEC, d->protocol);
    if (s != CURL_SOCKET_BAD) r.conexiones.push_back(s);
    return s;
}

int alCerrar(void* p, curl_socket_t s) {
    auto& r = *static_cast<Ronda*>(p);
    std::erase(r.conexiones, s);
    return close(s);
}

// Header lines reach us only once complete; the socket itself knows when the last byte
// came in, so a device that answers a byte at a time is not taken for silent.
void mirarSockets(Ronda& r, Reloj::time_point ahora) {
    for (curl_socket_t s : r.conexiones) {
        tcp_info ti{};
        socklen_t largo = sizeof ti;
        if (getsockopt(s, IPPROTO_TCP, TCP_INFO, &ti, &largo) != 0 ||
            ti.tcpi_state != 1 /* established */)
            continue;
        const auto recibido = ahora - milliseconds(ti.tcpi_last_data_recv);
        if (recibido > r.ultimaActividad) r.ultimaActividad = recibido;
    }
}

// Runs the transfer, waking often enough that silence and the overall limit are noticed
// on time (curl's own progress callback comes only about once a second).
CURLcode correr(CURL* c, Ronda& r, Reloj::time_point limite) {
    CURLM* m = curl_multi_init();
    curl_multi_add_handle(m, c);
    CURLcode resultado = CURLE_OK;
    for (;;) {
        int activos = 0;
        curl_multi_perform(m, &activos);
        int quedan = 0;
        bool hecho = false;
        while (CURLMsg* msg = curl_multi_info_read(m, &quedan))
            if (msg->msg == CURLMSG_DONE) {
                resultado = msg->data.result;
                hecho = true;
            }
        if (hecho) break;
        const auto ahora = Reloj::now();
        if (ahora - r.ultimaActividad > r.inactividad) mirarSockets(r, ahora);
        if (ahora - r.ultimaActividad > r.inactividad || ahora > limite) {
            resultado = CURLE_OPERATION_TIMEDOUT;
            break;
        }
        curl_multi_poll(m, nullptr, 0, VIGILANCIA_MS, nullptr);
    }
    curl_multi_remove_handle(m, c);
    curl_multi_cleanup(m);
    return resultado;
}

struct Pedido {
    QByteArray metodo;
    std::optional<QByteArray> cuerpo;
    QByteArray autorizacion;  // empty: none offered in this round
    QByteArray rango;         // a resume's "Range" value; empty: the whole
};

void configurar(CURL* c, Ronda& r, const Direccion& d, const Pedido& p, double timeout,
                Reloj::time_point limite, curl_slist* cabeceras) {
    curl_easy_setopt(c, CURLOPT_CURLU, d.manejador());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    // Redirections and authentication are decided round by round in peticion.
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "ZorvPlayer");
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, cabeceras);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);  // devices carry self-made certificates
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    // Devices sit on the local network: a proxy from the environment would only take the
    // request (and its credentials) somewhere else.
    curl_easy_setopt(c, CURLOPT_PROXY, "");
    curl_easy_setopt(c, CURLOPT_BUFFERSIZE, 256L * 1024);  // fewer, larger writes to the file
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(timeout * 1000));
    const auto resto = std::chrono::duration_cast<milliseconds>(limite - Reloj::now()).count();
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, long(std::max<qint64>(1, resto) + 1000));
    curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, alAbrir);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, &r);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, alCerrar);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, &r);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, alCabecera);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &r);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, alCuerpo);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &r);
    if (p.cuerpo) {
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(p.cuerpo->size()));
        curl_easy_setopt(c, CURLOPT_COPYPOSTFIELDS, p.cuerpo->constData());
    } else if (p.metodo == "POST") {
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(0));
        curl_easy_setopt(c, CURLOPT_COPYPOSTFIELDS, "");
    }
    if (p.metodo == "HEAD") curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    else if (p.metodo != "GET" && p.metodo != "POST")
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, p.metodo.constData());
    else if (p.metodo == "GET" && p.cuerpo)
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, "GET");
}

// A failure that may not happen again: the device silent, unreachable or cut off.
bool transitorio(CURLcode c) {
    switch (c) {
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return true;
    default:
        return false;
    }
}

QString mensajeDe(CURLcode c, const Ronda& r, bool direccionWeb) {
    switch (c) {
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
        return QStringLiteral("la cámara no respondió");
    case CURLE_URL_MALFORMAT: return QStringLiteral("dirección no válida");
    case CURLE_UNSUPPORTED_PROTOCOL:
        // With an http address this is the reply: curl refuses what has no status line.
        if (direccionWeb) return QStringLiteral("la cámara respondió algo que no es HTTP");
        return QStringLiteral("solo se admiten direcciones http y https");
    case CURLE_WEIRD_SERVER_REPLY:
        return QStringLiteral("la cámara respondió algo que no es HTTP");
    case CURLE_PARTIAL_FILE:
        return QStringLiteral("la cámara cortó la transferencia antes de terminar");
    case CURLE_GOT_NOTHING: return QStringLiteral("la cámara cerró la conexión sin responder");
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return QStringLiteral("se perdió la conexión con la cámara");
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_SHUTDOWN_FAILED:
        return QStringLiteral("no se pudo establecer la conexión segura con la cámara");
    case CURLE_TOO_MANY_REDIRECTS: return QStringLiteral("demasiadas redirecciones");
    case CURLE_BAD_CONTENT_ENCODING:
        return QStringLiteral("la cámara envió la respuesta con una codificación no válida");
    case CURLE_OUT_OF_MEMORY:
        // curl caps the header block; a header that never ends runs into that cap.
        if (!r.lectura.completas)
            return QStringLiteral("la cámara envió una cabecera demasiado larga");
        return QStringLiteral("no hay memoria para la respuesta de la cámara");
    default:
        return QStringLiteral("fallo de red al hablar con la cámara (código %1)").arg(int(c));
    }
}

// Where a response sends the request next, if it is a redirection we follow: the
// statuses the platform's loading layer follows, to a web address.
std::unique_ptr<Direccion> destinoDe(int estado, const QString& ubicacion) {
    const bool redirige =
        estado == 301 || estado == 302 || estado == 303 || estado == 307 || estado == 308;
    if (!redirige || ubicacion.isEmpty()) return nullptr;
    auto d = std::make_unique<Direccion>(ubicacion);
    if (!d->valida() || !d->web()) return nullptr;
    return d;
}

// As browsers do: after a 303, and after a 301 or 302 to a POST, the request goes on as a
// GET without body. Credentials are offered again only if the new place asks.
void redirigir(Pedido& p, int estado) {
    if ((estado == 303 && p.metodo != "HEAD") ||
        ((estado == 301 || estado == 302) && p.metodo == "POST")) {
        p.metodo = "GET";
        p.cuerpo.reset();
    }
    p.autorizacion.clear();
}

// A digest challenge that only says our nonce expired: the password was not refused.
bool caducado(const QList<Reto>& retos) {
    for (const Reto& r : retos)
        if (r.esquema == QLatin1String("digest") &&
            r.valores.value(QStringLiteral("stale")).compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// One request and its response, into `r` and the Http it belongs to.
CURLcode hacerRonda(Ronda& r, const Direccion& d, const Pedido& p, double timeout,
                    Reloj::time_point limite) {
    curl_slist* cabeceras = curl_slist_append(nullptr, "Expect:");
    if (p.cuerpo) cabeceras = curl_slist_append(cabeceras, "Content-Type: application/xml");
    if (!p.autorizacion.isEmpty())
        cabeceras = curl_slist_append(cabeceras, "Authorization: " + p.autorizacion);
    if (!p.rango.isEmpty()) cabeceras = curl_slist_append(cabeceras, "Range: " + p.rango);
    CURL* c = curl_easy_init();
    r.curl = c;
    configurar(c, r, d, p, timeout, limite, cabeceras);
    CURLcode resultado = correr(c, r, limite);
    char* destino = nullptr;
    if (resultado == CURLE_OK && curl_easy_getinfo(c, CURLINFO_REDIRECT_URL, &destino) == CURLE_OK &&
        destino)
        r.redireccion = QString::fromUtf8(destino);
    curl_easy_cleanup(c);
    curl_slist_free_all(cabeceras);
    // curl takes a length it cannot hold for no length at all; such a body is never whole.
    const int estado = r.h.estado;
    const bool sinCuerpo = p.metodo == "HEAD" || estado == 204 || estado == 304;
    if (resultado == CURLE_OK && r.lectura.largoImposible && !sinCuerpo) resultado = CURLE_PARTIAL_FILE;
    return resultado;
}

}  // namespace

void leerCabecera(Http& h, LecturaCabeceras& l, QByteArrayView linea, int estado) {
    const QString texto = QString::fromLatin1(linea).trimmed();
    if (l.esperaEstado) {
        l.esperaEstado = false;
        l.provisional = estado >= 100 && estado < 200;
        if (l.provisional) return;
        h.estado = estado;
        h.cabeceras.clear();
        h.esperado = -1;
        h.datos.clear();
        l.retos.clear();
        l.largoImposible = false;
        return;
    }
    if (texto.isEmpty()) {
        // After an interim response (100 Continue) the real one begins.
        if (l.provisional) l.esperaEstado = true;
        else l.completas = h.estado >= 200;
        return;
    }
    if (l.provisional) return;
    const qsizetype dos = texto.indexOf(QLatin1Char(':'));
    if (dos <= 0) return;
    const QString nombre = texto.left(dos).trimmed();
    const QString valor = texto.mid(dos + 1).trimmed();
    auto it = h.cabeceras.find(nombre);
    if (it != h.cabeceras.end()) *it += QStringLiteral(", ") + valor;
    else h.cabeceras.insert(nombre, valor);
    if (nombre.compare(QLatin1String("WWW-Authenticate"), Qt::CaseInsensitive) == 0) l.retos << valor;
    if (nombre.compare(QLatin1String("Content-Length"), Qt::CaseInsensitive) == 0) {
        bool ok = false;
        const qint64 v = valor.toLongLong(&ok);
        h.esperado = ok && v >= 0 ? v : -1;
        static const QRegularExpression digitos(QStringLiteral("^[0-9]+$"));
        l.largoImposible = !ok && digitos.match(valor).hasMatch();
    }
}

Http Http::peticion(const QString& url, const QString& usuario, const QString& clave,
                    const QString& metodo, const std::optional<QString>& cuerpo,
                    double timeout, const std::optional<QString>& aFichero,
                    Progreso progreso, bool soloMismaDireccion, Reanudacion* reanudar) {
    auto direccion = std::make_unique<Direccion>(url);
    if (!direccion->valida()) throw ErrorCamara(QStringLiteral("dirección no válida"));
    iniciarCurl();
    Http h;
    if (aFichero) {
        h.salida = std::make_shared<QFile>(*aFichero);
        const auto modo = reanudar ? QIODevice::ReadWrite : QIODevice::WriteOnly | QIODevice::Truncate;
        if (!h.salida->open(modo | QIODevice::Unbuffered))
            throw ErrorCamara(QStringLiteral("no se pudo crear el fichero ") + *aFichero);
        h.progreso = std::move(progreso);
        if (reanudar && reanudar->desde > 0) h.empalme = std::make_shared<Empalme>(*h.salida, reanudar->desde);
    }
    // Only the final response may leave anything in the file: an error page, a cut-off
    // transfer or anything but a 200 removes it. A resumable file is the caller's.
    auto descartarFichero = [&] {
        if (!h.salida) return;
        h.salida->close();
        if (!reanudar) h.salida->remove();
    };

    const QString anfitrion = direccion->anfitrion();
    const auto limite = Reloj::now() + (aFichero ? std::chrono::seconds(21600)
                                                 : milliseconds(qint64(3000 * timeout)));
    Autenticador autenticador(usuario, clave);
    Pedido pedido{metodo.toUtf8(), cuerpo ? std::optional(cuerpo->toUtf8()) : std::nullopt, {}, {}};
    if (h.empalme) pedido.rango = "bytes=" + QByteArray::number(qint64(h.empalme->inicio())) + '-';
    int redirecciones = 0;
    for (;;) {
        Ronda r(h, milliseconds(qint64(timeout * 1000)));
        const CURLcode resultado = hacerRonda(r, *direccion, pedido, timeout, limite);
        // Appending began once the bytes held compared equal, however the transfer ends.
        if (h.empalme && h.empalme->comprobado() && h.estado == 206) reanudar->reanudadaEn = reanudar->desde;
        if (resultado != CURLE_OK) {
            descartarFichero();
            if (r.demasiado)
                throw ErrorCamara(QStringLiteral("la respuesta de la cámara supera 64 MiB y se descarta"));
            if (r.distinto) throw ErrorEmpalme();
            if (r.fallaEscritura)
                throw ErrorCamara(QStringLiteral("no se pudo escribir el fichero ") + *aFichero);
            if (transitorio(resultado)) throw ErrorTransitorio(mensajeDe(resultado, r, direccion->web()));
            throw ErrorCamara(mensajeDe(resultado, r, direccion->web()));
        }

        // The password goes only to the address the caller named, twice at most. Once
        // offered, it goes again only when the device says its nonce went stale: any other
        // refusal is a wrong password, and recorders lock an account after a few of those.
        const QList<Reto> retos = leerRetos(r.lectura.retos);
        if (h.estado == 401 && !usuario.isEmpty() && h.intentosAuth <= 1 &&
            direccion->anfitrion() == anfitrion && (pedido.autorizacion.isEmpty() || caducado(retos))) {
            if (auto a = autenticador.responder(retos, pedido.metodo, direccion->destino(),
                                                pedido.cuerpo.value_or(QByteArray()))) {
                ++h.intentosAuth;
                pedido.autorizacion = *a;
                continue;
            }
        }
        h.rechazadas = h.estado == 401 && !pedido.autorizacion.isEmpty();
        auto siguiente = destinoDe(h.estado, r.redireccion);
        if (!siguiente || (soloMismaDireccion && siguiente->anfitrion() != anfitrion)) break;
        if (++redirecciones > MAXIMO_REDIRECCIONES) {
            descartarFichero();
            throw ErrorCamara(QStringLiteral("demasiadas redirecciones"));
        }
        redirigir(pedido, h.estado);
        direccion = std::move(siguiente);
    }
    if (h.salida) {
        h.salida->close();
        h.empalmado = h.estado == 206 && h.empalme;
        // A range answered by less than the bytes held says nothing of them; one the device
        // cannot satisfy tells of a file other than the one held.
        if ((h.empalmado && !h.empalme->comprobado()) || (h.empalme && h.estado == 416)) throw ErrorEmpalme();
        if (h.estado != 200 && !h.empalmado) descartarFichero();
    }
    return h;
}

std::optional<QString> Http::cabecera(const QString& nombre) const {
    const QString buscado = nombre.toLower();
    for (auto it = cabeceras.begin(); it != cabeceras.end(); ++it)
        if (it.key().toLower() == buscado) return it.value();
    return std::nullopt;
}

std::optional<QString> mensajeBloqueo(const QString& cuerpo) {
    static const QRegularExpression hikvision(QStringLiteral("<lockStatus>\\s*lock\\s*</lockStatus>"));
    static const QRegularExpression dahua(QStringLiteral("\\blocked\\b|268632081"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression espera(
        QStringLiteral("<unlockTime>\\s*(\\d{1,9})\\s*</unlockTime>|remainLockSeconds?\\W{0,4}(\\d{1,9})"),
        QRegularExpression::CaseInsensitiveOption);
    if (!hikvision.match(cuerpo).hasMatch() && !dahua.match(cuerpo).hasMatch()) return std::nullopt;
    QString m = QStringLiteral("cuenta bloqueada por el equipo tras varios intentos fallidos");
    const auto e = espera.match(cuerpo);
    const qint64 segundos = e.hasMatch() ? (e.captured(1) + e.captured(2)).toLongLong() : 0;
    if (segundos > 0) return m + QStringLiteral("; se desbloquea dentro de ") + textoDuracion(segundos);
    return m + QStringLiteral("; espera a que se desbloquee");
}

Http pedir(const Origen& origen, const QString& url, const QString& metodo,
           const std::optional<QString>& cuerpo, const std::optional<QString>& aFichero,
           Progreso progreso, bool soloMismaDireccion, Reanudacion* reanudar) {
    if (const auto motivo = origen.rechazo->motivo(origen.usuario, origen.clave))
        throw ErrorCredenciales(*motivo);
    Http h = Http::peticion(url, origen.usuario, origen.clave, metodo, cuerpo, 20, aFichero,
                            std::move(progreso), soloMismaDireccion, reanudar);
    if (h.estado == 404)
        throw ErrorCamara(
            QStringLiteral("la cámara no tiene esta ruta (quizá no es de esta familia)"));
    if (h.estado == 401) {
        // A lock holds for the right password too: nothing more until the user acts.
        if (const auto bloqueo = mensajeBloqueo(h.texto())) {
            origen.rechazo->anotar(origen.usuario, origen.clave, *bloqueo);
            throw ErrorCredenciales(*bloqueo);
        }
        const QString mensaje = QStringLiteral("usuario o contraseña incorrectos");
        if (!h.rechazadas) throw ErrorCamara(mensaje);
        origen.rechazo->anotar(origen.usuario, origen.clave, mensaje);
        throw ErrorCredenciales(mensaje);
    }
    if (h.estado >= 500)
        throw ErrorTransitorio(QStringLiteral("la cámara respondió ") + QString::number(h.estado));
    // A recording is only what a 200 carries (or the rest of one a resume checked);
    // anything else would be kept as an empty one.
    if (h.estado >= 400 || (aFichero && h.estado != 200 && !h.empalmado))
        throw ErrorCamara(QStringLiteral("la cámara respondió ") + QString::number(h.estado));
    return h;
}

#include "grabadores/descubrir.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QUrl>
#include <QUuid>

#include <arpa/inet.h>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

const QList<int> PUERTOS = {80, 554, 8000, 34567, 37777, 8080, 21};

QList<RedLocal> filtrarRedes(const QList<DireccionInterfaz>& direcciones) {
    QList<RedLocal> redes;
    for (const auto& d : direcciones) {
        if (!d.activa || d.bucle) continue;
        if ((d.ip >> 16) == 0xA9FE) continue;  // 169.254/16: link-local, never swept
        const int prefijo = __builtin_popcount(d.mascara);
        // Wider networks would mean thousands of hosts per sweep.
        if (prefijo < 22) continue;
        bool visto = false;
        for (const auto& r : redes) visto = visto || r.ip == d.ip;
        if (!visto) redes << RedLocal(d.ip, prefijo);
    }
    return redes;
}

QList<RedLocal> redesLocales() {
    QList<DireccionInterfaz> lista;
    ifaddrs* todas = nullptr;
    if (getifaddrs(&todas) != 0) return {};
    for (ifaddrs* i = todas; i; i = i->ifa_next) {
        if (!i->ifa_addr || !i->ifa_netmask || i->ifa_addr->sa_family != AF_INET) continue;
        DireccionInterfaz d;
        d.ip = ntohl(reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr);
        d.mascara = ntohl(reinterpret_cast<sockaddr_in*>(i->ifa_netmask)->sin_addr.s_addr);
        d.activa = i->ifa_flags & IFF_UP;
        d.bucle = i->ifa_flags & IFF_LOOPBACK;
        lista << d;
    }
    freeifaddrs(todas);
    return filtrarRedes(lista);
}

QString ipTexto(uint32_t ip) {
    return QString::asprintf("%u.%u.%u.%u", ip >> 24, (ip >> 16) & 255, (ip >> 8) & 255,
                             ip & 255);
}

namespace {

uint32_t mascaraDe(const RedLocal& red) {
    return red.prefijo <= 0 ? 0 : 0xFFFFFFFFu << (32 - std::min(red.prefijo, 32));
}

}  // namespace

bool enRed(const RedLocal& red, uint32_t ip) {
    const uint32_t mascara = mascaraDe(red);
    return (ip & mascara) == (red.ip & mascara);
}

QStringList hostsDe(const RedLocal& red) {
    const uint32_t mascara = mascaraDe(red);
    const uint64_t primero = uint64_t(red.ip & mascara) + 1;
    const uint64_t difusion = red.ip | ~mascara;
    QStringList hosts;
    for (uint64_t a = primero; a + 1 <= difusion; ++a)
        if (a != red.ip) hosts << ipTexto(uint32_t(a));
    return hosts;
}

namespace {

void subirLimiteFicheros() {
    rlimit lim{};
    if (getrlimit(RLIMIT_NOFILE, &lim) != 0 || lim.rlim_cur >= 2048) return;
    lim.rlim_cur = lim.rlim_max < 2048 ? lim.rlim_max : 2048;
    setrlimit(RLIMIT_NOFILE, &lim);
}

// Hosts whose seven sockets fit under the open-file limit beside what is already open,
// keeping a few for the rest of the program: a socket that cannot be opened would be a
// port silently missed.
qsizetype hostsPorLote() {
    constexpr qsizetype LOTE = 48, RESERVA = 16;
    rlimit lim{};
    if (getrlimit(RLIMIT_NOFILE, &lim) != 0 || lim.rlim_cur == RLIM_INFINITY) return LOTE;
    DIR* d = opendir("/proc/self/fd");
    if (!d) return LOTE;
    qsizetype abiertos = 0;
    while (const dirent* e = readdir(d))
        if (e->d_name[0] != '.') ++abiertos;
    closedir(d);
    const qsizetype libres = qsizetype(lim.rlim_cur) - abiertos - RESERVA;
    return std::clamp<qsizetype>(libres / PUERTOS.size(), 1, LOTE);
}

struct Intento {
    int fd;
    QString host;
    int puerto;
    bool escribible = false;
};

std::vector<Intento> abrirLote(const QStringList& lote) {
    std::vector<Intento> intentos;
    for (const QString& host : lote) {
        in_addr a{};
        if (inet_pton(AF_INET, host.toLatin1().constData(), &a) != 1) continue;
        for (int puerto : PUERTOS) {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd < 0) continue;
            // Linux has no per-socket no-SIGPIPE option; nothing is ever written on these
            // sockets, so there is nothing to guard.
            sockaddr_in dir{};
            dir.sin_family = AF_INET;
            dir.sin_port = htons(uint16_t(puerto));
            dir.sin_addr = a;
            const int r = connect(fd, reinterpret_cast<sockaddr*>(&dir), sizeof dir);
            if (r == 0 || errno == EINPROGRESS) intentos.push_back({fd, host, puerto});
            else close(fd);
        }
    }
    return intentos;
}

void esperarLote(std::vector<Intento>& intentos) {
    std::vector<pollfd> fds;
    for (const auto& i : intentos) fds.push_back({i.fd, POLLOUT, 0});
    QDeadlineTimer limite(450);
    size_t avisados = 0;
    while (avisados < fds.size()) {
        const int espera = std::max<qint64>(1, limite.remainingTime());
        const int n = poll(fds.data(), fds.size(), espera);
        if (n <= 0) break;
        for (size_t k = 0; k < fds.size(); ++k) {
            if (fds[k].revents == 0) continue;
            if (fds[k].revents & POLLOUT) intentos[k].escribible = true;
            fds[k].fd = -fds[k].fd - 1;  // reported: poll ignores negative descriptors
            fds[k].revents = 0;
            ++avisados;
        }
        if (limite.hasExpired()) break;
    }
}

}  // namespace

QMap<QString, QList<int>> sondearPuertos(const QStringList& hosts,
                                         const std::function<void(int)>& progreso) {
    subirLimiteFicheros();
    QMap<QString, QList<int>> abiertos;
    for (qsizetype desde = 0; desde < hosts.size();) {
        const QStringList lote = hosts.mid(desde, hostsPorLote());
        desde += lote.size();
        auto intentos = abrirLote(lote);
        esperarLote(intentos);
        for (const auto& i : intentos) {
            int err = 0;
            socklen_t largo = sizeof err;
            if (i.escribible && getsockopt(i.fd, SOL_SOCKET, SO_ERROR, &err, &largo) == 0 &&
                err == 0)
                abiertos[i.host] << i.puerto;
            close(i.fd);
        }
        if (progreso) progreso(int(double(desde) * 100.0 / double(hosts.size())));
    }
    return abiertos;
}

QString sondaONVIF(const QString& uuid) {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?><e:Envelope "
               "xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\" "
               "xmlns:w=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" "
               "xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\" "
               "xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\"><e:Header><w:MessageID>uuid:") +
           uuid +
           QStringLiteral(
               "</w:MessageID><w:To e:mustUnderstand=\"true\">urn:schemas-xmlsoap-org:ws:2005:04:"
               "discovery</w:To><w:Action e:mustUnderstand=\"true\">http://schemas.xmlsoap.org/ws/"
               "2005/04/discovery/Probe</w:Action></e:Header><e:Body><d:Probe><d:Types>dn:"
               "NetworkVideoTransmitter</d:Types></d:Probe></e:Body></e:Envelope>");
}

QString campo(const QString& clave, const QString& respuesta) {
    const QString prefijo = QStringLiteral("onvif://www.onvif.org/") + clave;
    const QRegularExpression re(prefijo + QStringLiteral("/([^\\s<]+)"),
                                QRegularExpression::DotMatchesEverythingOption);
    const auto m = re.match(respuesta);
    if (!re.isValid() || !m.hasMatch()) return {};
    QString valor = m.captured(0);
    valor.remove(prefijo + QLatin1Char('/'));
    // A malformed escape (a % not followed by two hex digits) means the scope is unusable.
    static const QRegularExpression malEscape(QStringLiteral("%(?![0-9A-Fa-f]{2})"));
    if (valor.contains(malEscape)) return {};
    const QByteArray bytes = QByteArray::fromPercentEncoding(valor.toUtf8());
    const QString texto = QString::fromUtf8(bytes);
    if (texto.toUtf8() != bytes) return {};  // not UTF-8 once decoded
    return texto;
}

bool esCoincidenciaONVIF(const QString& respuesta) {
    static const QRegularExpression sobre(QStringLiteral("<([A-Za-z_][\\w.-]*:)?Envelope[\\s>]"));
    static const QRegularExpression coincidencia(
        QStringLiteral("<([A-Za-z_][\\w.-]*:)?ProbeMatch[\\s>]"));
    return sobre.match(respuesta).hasMatch() && coincidencia.match(respuesta).hasMatch();
}

QString textoDeDispositivo(const QString& texto) {
    QList<char32_t> limpio;
    for (const char32_t c : texto.toUcs4()) {
        const auto categoria = QChar::category(c);
        if (categoria == QChar::Other_Control || categoria == QChar::Separator_Line ||
            categoria == QChar::Separator_Paragraph)
            continue;
        limpio << c;
        if (limpio.size() == 64) break;
    }
    return QString::fromUcs4(limpio.constData(), limpio.size());
}

std::optional<std::pair<QString, QString>> leerRespuestaONVIF(const QByteArray& respuesta) {
    const QString texto = QString::fromUtf8(respuesta);
    if (!esCoincidenciaONVIF(texto)) return std::nullopt;
    return std::pair{textoDeDispositivo(campo(QStringLiteral("name"), texto)),
                     textoDeDispositivo(campo(QStringLiteral("hardware"), texto))};
}

QMap<QString, std::pair<QString, QString>> descubrirONVIF() { return descubrirONVIF(redesLocales()); }

QMap<QString, std::pair<QString, QString>> descubrirONVIF(const QList<RedLocal>& redes) {
    QMap<QString, std::pair<QString, QString>> vistos;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return vistos;
    timeval tv{0, 300000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);

    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
    const QByteArray sonda = sondaONVIF(uuid).toUtf8();
    sockaddr_in grupo{};
    grupo.sin_family = AF_INET;
    grupo.sin_port = htons(3702);
    inet_pton(AF_INET, "239.255.255.250", &grupo.sin_addr);
    for (int i = 0; i < 2; ++i)
        sendto(fd, sonda.constData(), size_t(sonda.size()), MSG_NOSIGNAL,
               reinterpret_cast<sockaddr*>(&grupo), sizeof grupo);

    std::vector<char> buf(65536);
    QDeadlineTimer limite(2500);
    while (!limite.hasExpired()) {
        sockaddr_in de{};
        socklen_t largo = sizeof de;
        const ssize_t n = recvfrom(fd, buf.data(), buf.size(), 0,
                                   reinterpret_cast<sockaddr*>(&de), &largo);
        if (n <= 0) continue;
        // Anyone can send a datagram: only an answer to the probe, from an address on a
        // network being swept, is a device.
        const uint32_t quien = ntohl(de.sin_addr.s_addr);
        if (!std::any_of(redes.begin(), redes.end(), [&](const RedLocal& r) { return enRed(r, quien); }))
            continue;
        if (const auto leida = leerRespuestaONVIF(QByteArray(buf.data(), qsizetype(n))))
            vistos[ipTexto(quien)] = *leida;
    }
    close(fd);
    return vistos;
}

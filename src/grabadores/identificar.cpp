#include "grabadores/identificar.h"

#include "grabadores/ayudas.h"
#include "grabadores/descubrir.h"
#include "grabadores/http.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>

std::optional<int> puertoWebDe(const QList<int>& puertos) {
    if (puertos.contains(80)) return 80;
    if (puertos.contains(8080)) return 8080;
    // Ports of the live stream, FTP and the Xiongmai protocol carry no web pages.
    static const QList<int> otros = {554, 21, 34567, 37777, 443};
    if (!puertos.isEmpty() && !otros.contains(puertos.first())) return puertos.first();
    if (puertos.contains(443)) return 443;
    return std::nullopt;
}

int puertoFTP(const Origen& origen) {
    static const QList<int> web = {80, 8080, 443, 554};
    const QList<int>& p = origen.puertos;
    return p.isEmpty() || web.contains(p.first()) ? 21 : p.first();
}

int puertoWeb(const Origen& origen) { return puertoWebDe(origen.puertos).value_or(80); }

QString urlWeb(const QString& ip, int puerto) {
    return QStringLiteral("%1://%2:%3")
        .arg(puerto == 443 ? QStringLiteral("https") : QStringLiteral("http"), ip)
        .arg(puerto);
}

QString baseWeb(const Origen& origen) { return urlWeb(origen.ip, puertoWeb(origen)); }

namespace {

bool contiene(const QString& texto, const QString& patron) {
    return QRegularExpression(patron, QRegularExpression::DotMatchesEverythingOption)
        .match(texto)
        .hasMatch();
}

// Identification follows a redirection only on the device itself: a device on the network
// must not be able to point the sweep at any other machine.
std::optional<Http> sinCredenciales(const QString& url, double timeout) {
    try {
        return Http::peticion(url, QString(), QString(), QStringLiteral("GET"), std::nullopt,
                              timeout, std::nullopt, {}, true);
    } catch (const ErrorCamara&) {
        return std::nullopt;
    }
}

std::optional<Http> conCredenciales(const Origen& o, const QString& url) {
    try {
        return pedir(o, url, QStringLiteral("GET"), std::nullopt, std::nullopt, {}, true);
    } catch (const ErrorCamara&) {
        return std::nullopt;
    }
}

}  // namespace

QString familiaPorRespuesta(const QString& candidato, int estado, const QString& reto) {
    if (estado == 200) return candidato;
    if (estado != 401) return {};
    if (candidato == QLatin1String("hikvision") && contiene(reto, QStringLiteral("DS-|Hikvision|HIK")))
        return candidato;
    if (candidato == QLatin1String("dahua") && contiene(reto, QStringLiteral("Login to|Dahua|Imou")))
        return candidato;
    return QStringLiteral("cámara");
}

std::pair<QString, QString> familia(const QString& ip, const QList<int>& puertos) {
    QString resultado = QStringLiteral("desconocida");
    QString servidor;
    if (const auto p = puertoWebDe(puertos)) {
        const QString base = urlWeb(ip, *p);
        const std::pair<QString, QString> candidatos[] = {
            {QStringLiteral("hikvision"), QStringLiteral("/ISAPI/System/deviceInfo")},
            {QStringLiteral("dahua"), QStringLiteral("/cgi-bin/magicBox.cgi?action=getDeviceType")}};
        for (const auto& [candidato, ruta] : candidatos) {
            const auto h = sinCredenciales(base + ruta, 2.5);
            if (!h) continue;
            const QString visto = familiaPorRespuesta(
                candidato, h->estado,
                h->cabecera(QStringLiteral("WWW-Authenticate")).value_or(QString()));
            if (visto == candidato) {
                resultado = candidato;
                break;
            }
            if (!visto.isEmpty() && resultado == QLatin1String("desconocida")) resultado = visto;
        }
        if (const auto h = sinCredenciales(base + QStringLiteral("/"), 2))
            servidor = textoDeDispositivo(h->cabecera(QStringLiteral("Server")).value_or(QString()));
    }
    const bool nada = resultado == QLatin1String("desconocida");
    if (nada && (puertos.contains(34567) || puertos.contains(37777)))
        resultado = QStringLiteral("xiongmai");
    else if (nada && puertos.contains(554)) resultado = QStringLiteral("rtsp");
    else if (nada && puertos.contains(21)) resultado = QStringLiteral("ftp");
    return {resultado, servidor};
}

bool antesQue(const QString& a, const QString& b) {
    auto numeros = [](const QString& s) {
        QList<qlonglong> n;
        for (const QString& parte : s.split(QLatin1Char('.'))) {
            bool ok = false;
            const qlonglong v = parte.toLongLong(&ok);
            n << (ok ? v : 0);
        }
        return n;
    };
    const auto na = numeros(a), nb = numeros(b);
    return std::lexicographical_compare(na.begin(), na.end(), nb.begin(), nb.end());
}

QList<OrigenPtr> buscarRed(const std::function<void(int)>& progreso) {
    const QList<RedLocal> redes = redesLocales();
    const auto onvif = descubrirONVIF(redes);
    QSet<QString> vistos;
    QList<OrigenPtr> resultado;
    for (const RedLocal& red : redes) {
        const auto abiertos = sondearPuertos(hostsDe(red), progreso);
        QStringList direcciones = abiertos.keys();
        std::stable_sort(direcciones.begin(), direcciones.end(), antesQue);
        for (const QString& ip : direcciones) {
            if (vistos.contains(ip)) continue;
            vistos.insert(ip);
            QList<int> puertos = abiertos.value(ip);
            std::sort(puertos.begin(), puertos.end());
            auto [fam, servidor] = familia(ip, puertos);
            if (onvif.contains(ip)) {
                const auto& [nombre, hardware] = onvif.value(ip);
                servidor = hardware.isEmpty() ? nombre : nombre + QLatin1Char(' ') + hardware;
            }
            QString detalle = fam;
            if (!servidor.isEmpty()) detalle += QStringLiteral(" · ") + servidor;
            QStringList textos;
            for (int p : puertos) textos << QString::number(p);
            detalle += QStringLiteral(" · puertos ") + textos.join(QLatin1Char(','));
            auto o = std::make_shared<Origen>(QStringLiteral("red"), ip, ip, detalle);
            o->ip = ip;
            o->puertos = puertos;
            o->familia = fam;
            o->onvif = onvif.contains(ip);
            resultado << o;
        }
    }
    for (auto it = onvif.begin(); it != onvif.end(); ++it) {
        if (vistos.contains(it.key())) continue;
        auto o = std::make_shared<Origen>(QStringLiteral("red"), it.key(), it.key(),
                                          QStringLiteral("ONVIF · ") + it.value().first);
        o->ip = it.key();
        o->familia = QStringLiteral("onvif");
        o->onvif = true;
        resultado << o;
    }
    return resultado;
}

const QStringList PAGINAS_IDENTIFICACION = {
    QStringLiteral("/ISAPI/System/deviceInfo"),
    QStringLiteral("/cgi-bin/magicBox.cgi?action=getDeviceType"),
    QStringLiteral("/cgi-bin/hi3510/param.cgi?cmd=getserverinfo"),
    QStringLiteral("/sd/"),
};

std::optional<std::pair<QString, QString>> leerIdentificacion(const QString& pagina,
                                                              const QString& cuerpo) {
    if (pagina == PAGINAS_IDENTIFICACION[0]) {
        if (contiene(cuerpo, QStringLiteral("<DeviceInfo|<deviceType>|<model>")))
            return std::pair{QStringLiteral("hikvision"),
                             uno(cuerpo, QStringLiteral("<model>(.*?)</model>")).value_or(QString())};
    } else if (pagina == PAGINAS_IDENTIFICACION[1]) {
        const qsizetype i = cuerpo.lastIndexOf(QStringLiteral("type="));
        if (i >= 0) return std::pair{QStringLiteral("dahua"), cuerpo.mid(i + 5).trimmed()};
    } else if (pagina == PAGINAS_IDENTIFICACION[2]) {
        if (cuerpo.contains(QStringLiteral("var model=")))
            return std::pair{QStringLiteral("vstarcam"),
                             uno(cuerpo, QStringLiteral("var model=\"(.*?)\"")).value_or(QString())};
    } else if (pagina == PAGINAS_IDENTIFICACION[3]) {
        if (cuerpo.contains(QStringLiteral("Index of /sd")))
            return std::pair{QStringLiteral("vstarcam"), QStringLiteral("SD web")};
    }
    return std::nullopt;
}

std::pair<QString, QString> detectarFamilia(const Origen& origen) {
    const QString base = baseWeb(origen);
    for (const QString& pagina : PAGINAS_IDENTIFICACION) {
        // Credentials refused on one page are refused on all: not one more try.
        if (origen.rechazo->motivo(origen.usuario, origen.clave)) break;
        if (const auto h = conCredenciales(origen, base + pagina))
            if (auto leido = leerIdentificacion(pagina, h->texto())) return *leido;
    }
    if (origen.puertos.contains(21)) return {QStringLiteral("ftp"), QString()};
    if (origen.puertos.contains(554)) return {QStringLiteral("rtsp"), QString()};
    return {QStringLiteral("desconocida"), QString()};
}

#include "grabadores/canales.h"

#include "grabadores/ayudas.h"
#include "grabadores/descubrir.h"
#include "grabadores/http.h"
#include "grabadores/identificar.h"
#include "grabadores/reloj.h"

#include <QMap>
#include <QRegularExpression>
#include <algorithm>

namespace {

QString nombreLimpio(const QString& nombre) { return textoDeDispositivo(htmlDecode(nombre)).trimmed(); }

}  // namespace

std::optional<QList<Canal>> leerCanalesHikvision(const QString& xml, const QString& elemento) {
    QMap<int, QString> porNumero;
    for (const QStringList& m : grupos(xml, QStringLiteral("<%1(?:\\s[^>]*)?>(.*?)</%1>").arg(elemento))) {
        bool ok = false;
        const int n = uno(m.at(1), QStringLiteral("<id>\\s*(\\d{1,4})\\s*</id>")).value_or(QString()).toInt(&ok);
        if (!ok || n < 1 || porNumero.contains(n)) continue;
        porNumero[n] = nombreLimpio(uno(m.at(1), QStringLiteral("<name>(.*?)</name>")).value_or(QString()));
        if (porNumero.size() == MAXIMO_CANALES) break;
    }
    if (porNumero.isEmpty()) return std::nullopt;
    QList<Canal> res;
    for (auto i = porNumero.begin(); i != porNumero.end(); ++i) res << Canal{i.key(), i.value()};
    return res;
}

std::optional<int> leerCuentaDahua(const QString& respuesta, const QString& clave) {
    bool ok = false;
    const auto texto = uno(respuesta, QStringLiteral("(?:^|[\\r\\n])%1=(\\d{1,6})\\s*(?:$|[\\r\\n])")
                                          .arg(QRegularExpression::escape(clave)));
    const int n = texto.value_or(QString()).toInt(&ok);
    if (!ok || n < 1 || n > MAXIMO_CANALES) return std::nullopt;
    return n;
}

QList<Canal> leerTitulosDahua(const QString& respuesta, int cuenta) {
    QList<Canal> res;
    for (int i = 1; i <= cuenta; ++i) res << Canal{i, {}};
    for (const QStringList& m :
         grupos(respuesta, QStringLiteral("(?:^|[\\r\\n])table\\.ChannelTitle\\[(\\d{1,4})\\]\\.Name=([^\\r\\n]*)"))) {
        const int i = m.at(1).toInt();
        if (i < cuenta) res[i].nombre = nombreLimpio(m.at(2));
    }
    return res;
}

QList<Canal> canalesHikvision(const Origen& origen) {
    const std::pair<const char*, const char*> listas[] = {
        {"/ISAPI/ContentMgmt/InputProxy/channels", "InputProxyChannel"},
        {"/ISAPI/System/Video/inputs/channels", "VideoInputChannel"},
    };
    // An NVR with no IP camera still answers its list, empty: its inputs are the others.
    for (const auto& [ruta, elemento] : listas)
        if (const auto xml = paginaOpcional(origen, QString::fromLatin1(ruta)))
            if (auto canales = leerCanalesHikvision(*xml, QString::fromLatin1(elemento))) return *canales;
    return {Canal{}};
}

QList<Canal> canalesDahua(const Origen& origen) {
    std::optional<int> cuenta;
    if (const auto r = paginaOpcional(origen, QStringLiteral("/cgi-bin/magicBox.cgi?action=getProductDefinition&name=MaxRemoteInputChannels")))
        cuenta = leerCuentaDahua(*r, QStringLiteral("table.MaxRemoteInputChannels"));
    if (!cuenta)
        if (const auto r = paginaOpcional(origen, QStringLiteral("/cgi-bin/devVideoInput.cgi?action=getCollect")))
            cuenta = leerCuentaDahua(*r, QStringLiteral("result"));
    const auto titulos = paginaOpcional(origen, QStringLiteral("/cgi-bin/configManager.cgi?action=getConfig&name=ChannelTitle"));
    return leerTitulosDahua(titulos.value_or(QString()), cuenta.value_or(1));
}

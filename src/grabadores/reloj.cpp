#include "grabadores/reloj.h"

#include "grabadores/ayudas.h"
#include "grabadores/http.h"
#include "grabadores/identificar.h"

#include <QRegularExpression>

namespace {

// Dahua's zone table, by index: minutes east of UTC.
constexpr int ZONAS_DAHUA[] = {0,    60,   120,  180,  210,  240,  270,  300,  330,  345,  360,
                               390,  420,  480,  540,  570,  600,  660,  720,  780,  -60,  -120,
                               -180, -210, -240, -300, -360, -420, -480, -540, -600, -660, -720};

// The zone of a device's local times as the reading keeps it: absent when it is the PC's
// own at that moment, so that the PC's summer-time rules keep applying to older recordings.
std::optional<int> zonaPropia(int segundos, const QDateTime& pc) {
    if (segundos == pc.toLocalTime().offsetFromUtc()) return std::nullopt;
    return segundos;
}

RelojEquipo reloj(qint64 paredMs, int zona, const QDateTime& pc) {
    return {paredMs - qint64(zona) * 1000 - pc.toMSecsSinceEpoch(), zonaPropia(zona, pc)};
}

// The wall-clock time a text names, as milliseconds of a UTC clock showing it.
std::optional<qint64> pared(const QString& texto, const QString& patron) {
    const auto f = fmt(patron, true).fecha(texto);
    if (!f) return std::nullopt;
    return f->toMSecsSinceEpoch();
}

// When the PC asked: halfway through the request.
template <typename F>
auto preguntar(F&& f) {
    const QDateTime antes = QDateTime::currentDateTimeUtc();
    auto r = f();
    const QDateTime despues = QDateTime::currentDateTimeUtc();
    return std::pair{r, antes.addMSecs(antes.msecsTo(despues) / 2)};
}

}  // namespace

std::optional<QString> paginaOpcional(const Origen& o, const QString& ruta) {
    try {
        return pedir(o, baseWeb(o) + ruta, QStringLiteral("GET"), std::nullopt, std::nullopt, {}, true).texto();
    } catch (const ErrorCredenciales&) {
        throw;
    } catch (const ErrorCamara&) {
        return std::nullopt;  // an older device without the page: what it would say stays unknown
    }
}

std::optional<RelojEquipo> leerRelojHikvision(const QString& xml, const QDateTime& pc) {
    const QString hora = uno(xml, QStringLiteral("<localTime>\\s*(.*?)\\s*</localTime>")).value_or(QString());
    const QString patron = QStringLiteral("yyyy-MM-dd'T'HH:mm:ss");
    const auto instante = fmt(patron + QStringLiteral("XXXXX"), true).fecha(hora);
    const auto muestra = pared(hora.left(19), patron);
    if (instante && muestra) {
        const qint64 ms = instante->toMSecsSinceEpoch();
        return reloj(*muestra, int((*muestra - ms) / 1000), pc);
    }
    const auto sinZona = pared(hora, patron);
    const auto tz = grupos(uno(xml, QStringLiteral("<timeZone>\\s*(.*?)\\s*</timeZone>")).value_or(QString()),
                           QStringLiteral("^[A-Za-z]{3,}([+-]?)(\\d{1,2})(?::(\\d\\d))?(?::(\\d\\d))?"));
    if (!sinZona || tz.isEmpty()) return std::nullopt;
    const QStringList& g = tz.first();
    const int oeste = g[2].toInt() * 3600 + g[3].toInt() * 60 + g[4].toInt();
    if (oeste > 14 * 3600) return std::nullopt;
    // POSIX zones count west of UTC: "CST-8" is eight hours east.
    return reloj(*sinZona, g[1] == QLatin1String("-") ? oeste : -oeste, pc);
}

std::optional<RelojEquipo> leerRelojDahua(const QString& hora, const QString& ntp, const QDateTime& pc) {
    const auto h = grupos(hora, QStringLiteral("result=(\\d{4})-(\\d{1,2})-(\\d{1,2})[ T](\\d{1,2}):(\\d\\d):(\\d\\d)"));
    const auto indice = uno(ntp, QStringLiteral("table\\.NTP\\.TimeZone=(\\d{1,2})\\s*(?:$|[\\r\\n])"));
    if (h.isEmpty() || !indice || indice->toInt() >= int(std::size(ZONAS_DAHUA))) return std::nullopt;
    const QStringList& g = h.first();
    const QDateTime local(QDate(g[1].toInt(), g[2].toInt(), g[3].toInt()),
                          QTime(g[4].toInt(), g[5].toInt(), g[6].toInt()), Qt::UTC);
    if (!local.isValid()) return std::nullopt;
    const int estandar = ZONAS_DAHUA[indice->toInt()] * 60;
    // The clock shows summer time when it is an hour further ahead than the standard offset
    // explains, give or take half an hour of clock error.
    const qint64 adelanto = local.toMSecsSinceEpoch() - pc.toMSecsSinceEpoch() - qint64(estandar) * 1000;
    const bool verano = std::abs(adelanto - 3600000) < 1800000;
    return reloj(local.toMSecsSinceEpoch(), estandar + (verano ? 3600 : 0), pc);
}

std::optional<RelojEquipo> relojHikvision(const Origen& origen) {
    const auto [xml, pc] = preguntar([&] { return paginaOpcional(origen, QStringLiteral("/ISAPI/System/time")); });
    return xml ? leerRelojHikvision(*xml, pc) : std::nullopt;
}

std::optional<RelojEquipo> relojDahua(const Origen& origen) {
    const auto [hora, pc] =
        preguntar([&] { return paginaOpcional(origen, QStringLiteral("/cgi-bin/global.cgi?action=getCurrentTime")); });
    if (!hora) return std::nullopt;
    const auto ntp = paginaOpcional(origen, QStringLiteral("/cgi-bin/configManager.cgi?action=getConfig&name=NTP"));
    return ntp ? leerRelojDahua(*hora, *ntp, pc) : std::nullopt;
}

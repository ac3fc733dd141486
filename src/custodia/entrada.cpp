#include "custodia/entrada.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>

#include <limits>

namespace {

constexpr int kFormato = 1;

void cadenaJSON(QByteArray& b, const QString& texto)
{
    b += '"';
    const qsizetype n = texto.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = texto[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(texto[i + 1].unicode())) {
            b += texto.mid(i, 2).toUtf8();
            ++i;
        } else if (u == '"' || u == '\\') {
            b += '\\';
            b += char(u);
        } else if (u == '\n') {
            b += "\\n";
        } else if (u >= 0x20 && u < 0x7f) {
            b += char(u);
        } else if (u < 0x20 || (u >= 0x7f && u <= 0x9f) || u == 0x2028 || u == 0x2029 || QChar::isSurrogate(u)) {
            b += "\\u" + QByteArray::number(u, 16).rightJustified(4, '0');
        } else {
            b += QString(QChar(u)).toUtf8();
        }
    }
    b += '"';
}

// Writes the keys in the order they are given.
class ObjetoJSON {
public:
    void texto(const char* clave, const QString& v)
    {
        nombre(clave);
        cadenaJSON(b, v);
    }
    void textoSiHay(const char* clave, const QString& v)
    {
        if (!v.isEmpty())
            texto(clave, v);
    }
    void numero(const char* clave, int64_t v)
    {
        nombre(clave);
        b += QByteArray::number(qlonglong(v));
    }
    void numeros(const char* clave, const QList<int64_t>& v)
    {
        nombre(clave);
        b += '[';
        for (qsizetype i = 0; i < v.size(); ++i)
            b += (i ? "," : "") + QByteArray::number(qlonglong(v[i]));
        b += ']';
    }
    QByteArray fin() { return b + '}'; }

private:
    void nombre(const char* clave)
    {
        b += b.size() > 1 ? ",\"" : "\"";
        b += clave;
        b += "\":";
    }
    QByteArray b = "{";
};

} // namespace

QString horaLocalISO(const QDateTime& hora)
{
    const QDateTime local = hora.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

QString textoIntentos(int intentos, const QList<int64_t>& reanudadaEn)
{
    QStringList donde;
    for (const int64_t b : reanudadaEn)
        donde << (b >= 1024 * 1024 ? QString::number(b / (1024 * 1024)) + QStringLiteral(" MiB")
                                   : QString::number(b) + QStringLiteral(" bytes"));
    return QString::number(intentos)
        + (donde.isEmpty() ? QString() : QStringLiteral(" (reanudada en ") + donde.join(QStringLiteral(", ")) + QLatin1Char(')'));
}

bool esHuella(const QString& t)
{
    if (t.size() != 64)
        return false;
    for (const QChar c : t)
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    return true;
}

QByteArray lineaDeEntrada(const EntradaCustodia& e)
{
    ObjetoJSON o;
    o.numero("formato", kFormato);
    o.texto("fichero", e.fichero);
    o.texto("clase", e.clase);
    o.texto("tipoOrigen", e.tipoOrigen);
    o.texto("origen", e.origen);
    o.texto("direccion", e.direccion);
    o.textoSiHay("familia", e.familia);
    o.textoSiHay("modelo", e.modelo);
    if (e.canal > 0)
        o.numero("canal", e.canal);
    o.textoSiHay("nombreCanal", e.nombreCanal);
    if (e.desfaseRelojMs)
        o.numero("desfaseRelojMs", *e.desfaseRelojMs);
    o.texto("ubicacion", e.ubicacion);
    o.textoSiHay("inicioGrabacion", e.inicioGrabacion);
    if (e.segundosDirecto > 0)
        o.numero("segundosDirecto", e.segundosDirecto);
    if (e.detenidoAlCerrar)
        o.numero("detenidoAlCerrar", 1);
    if (e.intentos > 1)
        o.numero("intentos", e.intentos);
    if (!e.reanudadaEn.isEmpty())
        o.numeros("reanudadaEn", e.reanudadaEn);
    o.texto("inicioDescarga", e.inicioDescarga);
    o.texto("finDescarga", e.finDescarga);
    o.numero("tamano", e.tamano);
    o.texto("sha256", e.sha256);
    o.texto("sha256Registro", e.sha256Registro);
    o.texto("anotada", e.anotada);
    o.texto("version", e.version);
    o.texto("equipo", e.equipo);
    o.texto("usuarioPC", e.usuarioPC);
    o.texto("anterior", e.anterior);
    return o.fin();
}

namespace {

// A whole number JSON holds exactly (doubles beyond 2^53 do not).
std::optional<int64_t> entero(const QJsonValue& v)
{
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (!(d >= -9007199254740992.0 && d <= 9007199254740992.0) || d != double(int64_t(d)))
        return std::nullopt;
    return int64_t(d);
}

} // namespace

std::optional<EntradaCustodia> entradaDeLinea(const QByteArray& linea, QString* motivo)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(linea, &error);
    const auto falla = [motivo](const QString& m) -> std::optional<EntradaCustodia> {
        if (motivo)
            *motivo = m;
        return std::nullopt;
    };
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return falla(QStringLiteral("no es una entrada legible"));
    const QJsonObject o = doc.object();
    if (entero(o.value(QLatin1String("formato"))) != kFormato)
        return falla(QStringLiteral("formato desconocido"));
    EntradaCustodia e;
    const auto texto = [&o](const char* clave, QString& v, bool obligatorio) {
        const QJsonValue j = o.value(QLatin1String(clave));
        if (j.isString())
            v = j.toString();
        return j.isString() || (!obligatorio && j.isUndefined());
    };
    const auto numero = [&o](const char* clave, int& v) {
        const QJsonValue j = o.value(QLatin1String(clave));
        if (j.isUndefined())
            return true;
        const std::optional<int64_t> n = entero(j);
        if (!n || *n < 0 || *n > std::numeric_limits<int>::max())
            return false;
        v = int(*n);
        return true;
    };
    struct Campo {
        const char* clave;
        QString* valor;
        bool obligatorio;
    };
    const Campo textos[] = {
        {"fichero", &e.fichero, true},         {"clase", &e.clase, false},
        {"tipoOrigen", &e.tipoOrigen, false},  {"origen", &e.origen, false},
        {"direccion", &e.direccion, false},    {"familia", &e.familia, false},
        {"modelo", &e.modelo, false},          {"nombreCanal", &e.nombreCanal, false},
        {"ubicacion", &e.ubicacion, false},    {"inicioGrabacion", &e.inicioGrabacion, false},
        {"inicioDescarga", &e.inicioDescarga, false}, {"finDescarga", &e.finDescarga, false},
        {"sha256", &e.sha256, true},           {"sha256Registro", &e.sha256Registro, true},
        {"anotada", &e.anotada, false},        {"version", &e.version, false},
        {"equipo", &e.equipo, false},          {"usuarioPC", &e.usuarioPC, false},
        {"anterior", &e.anterior, true},
    };
    for (const Campo& c : textos)
        if (!texto(c.clave, *c.valor, c.obligatorio))
            return falla(QStringLiteral("falta el campo «%1»").arg(QLatin1String(c.clave)));
    int detenido = 0;
    const std::optional<int64_t> tamano = entero(o.value(QLatin1String("tamano")));
    if (!tamano || *tamano < 0)
        return falla(QStringLiteral("falta el campo «tamano»"));
    e.tamano = *tamano;
    if (!numero("canal", e.canal) || !numero("segundosDirecto", e.segundosDirecto)
        || !numero("detenidoAlCerrar", detenido) || !numero("intentos", e.intentos))
        return falla(QStringLiteral("un campo numérico no es un número entero válido"));
    const QJsonValue reanudada = o.value(QLatin1String("reanudadaEn"));
    if (!reanudada.isUndefined() && !reanudada.isArray())
        return falla(QStringLiteral("el campo «reanudadaEn» no es una lista"));
    for (const QJsonValue& v : reanudada.toArray()) {
        const std::optional<int64_t> n = entero(v);
        if (!n || *n < 0)
            return falla(QStringLiteral("el campo «reanudadaEn» no es una lista de posiciones"));
        e.reanudadaEn << *n;
    }
    e.detenidoAlCerrar = detenido != 0;
    const QJsonValue desfase = o.value(QLatin1String("desfaseRelojMs"));
    if (!desfase.isUndefined()) {
        e.desfaseRelojMs = entero(desfase);
        if (!e.desfaseRelojMs)
            return falla(QStringLiteral("el campo «desfaseRelojMs» no es un número entero"));
    }
    for (const QString* h : {&e.sha256, &e.sha256Registro, &e.anterior})
        if (!esHuella(*h))
            return falla(QStringLiteral("una huella SHA-256 no tiene 64 cifras hexadecimales"));
    return e;
}

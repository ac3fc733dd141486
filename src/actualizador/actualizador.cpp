#include "actualizador/actualizador.h"

#include "actualizador/descarga.h"
#include "actualizador/firma.h"
#include "comun/json.h"
#include "comun/rutas.h"
#include "comun/salida.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

int aplicarActualizacion(const OpcionesActualizador& o, const QString& u,
                         const std::function<void(const QString&)>& log);

namespace {

QString arg(const QStringList& a, int i, const QString& defecto = QString())
{
    return i < a.size() ? a[i] : defecto;
}

// The version names files and folders: a server must not steer them elsewhere.
bool versionSegura(const QString& v)
{
    static const QRegularExpression re(QStringLiteral("^[0-9A-Za-z][0-9A-Za-z._+~-]*$"));
    return re.match(v).hasMatch() && !v.contains(QLatin1String(".."));
}

int comprobar(const OpcionesActualizador& o, const QString& sub, const QString& u,
              const std::function<void(const QString&)>& log)
{
    const QString base = arg(o.argumentos, 1);
    const QString instalada = arg(o.argumentos, 2, QStringLiteral("0.0.0"));
    const std::optional<QByteArray> cuerpo = descargar(base + QStringLiteral("/latest.json"),
                                                       QString(), o.permitirHttp);
    const std::optional<Publicacion> pub = cuerpo ? leerPublicacion(*cuerpo) : std::nullopt;
    if (!pub) {
        log(QStringLiteral("no se pudo leer latest.json"));
        return 1;
    }
    const QString version = pub->version;
    const QString disponible = u + QStringLiteral("/disponible.json");
    const QString pendiente = u + QStringLiteral("/pendiente.json");
    if (!pub->completa || !masNueva(version, instalada)) {
        QFile::remove(disponible);
        QFile::remove(pendiente);
        return 0;
    }
    escribirJSON({{QStringLiteral("version"), version},
                  {QStringLiteral("notas"), pub->notas}},
                 disponible);
    const QString hay = QStringLiteral("hay ") + version + QStringLiteral(" (instalada ")
        + instalada + QStringLiteral("), ");
    if (sub == QLatin1String("consultar")) {
        log(hay + QStringLiteral("pendiente de que el usuario acepte"));
        return 0;
    }
    const std::optional<QJsonObject> previo = leerJSON(pendiente);
    if (previo && previo->value(QStringLiteral("version")).isString()
        && previo->value(QStringLiteral("version")).toString() == version)
        return 0;
    log(hay + QStringLiteral("descargando"));
    const QString p = u + QStringLiteral("/ZorvPlayer-") + version + QStringLiteral(".tar.gz");
    if (!descargar(pub->url, p, o.permitirHttp)) {
        log(QStringLiteral("no se pudo descargar el paquete"));
        return 1;
    }
    const auto descartar = [&](const QString& mensaje) {
        log(mensaje);
        QFile::remove(p);
        return 1;
    };
    const QString digesto = sha256DeArchivo(p);
    if (digesto.isEmpty() || digesto != pub->sha256.toLower())
        return descartar(QStringLiteral("sha256 no coincide, descartado"));
    if (!firmaValida(digesto, pub->sig))
        return descartar(QStringLiteral("firma ZORV NO válida, descartado"));
    if (!paqueteSeguro(p))
        return descartar(QStringLiteral("el paquete no pasa la comprobación del sistema, descartado"));
    escribirJSON({{QStringLiteral("version"), version}, {QStringLiteral("dmg"), p}}, pendiente);
    log(version + QStringLiteral(" verificada y preparada"));
    return 0;
}

} // namespace

std::optional<Publicacion> leerPublicacion(const QByteArray& cuerpo)
{
    const QJsonDocument doc = QJsonDocument::fromJson(cuerpo);
    const QJsonObject raiz = doc.object();
    const QJsonValue version = raiz.value(QStringLiteral("version"));
    if (!doc.isObject() || !version.isString() || !versionSegura(version.toString()))
        return std::nullopt;
    Publicacion pub;
    pub.version = version.toString();
    const QJsonValue notas = raiz.value(QStringLiteral("notas"));
    pub.notas = notas.isString() ? notas.toString() : QString();
    const QJsonObject linux = raiz.value(QStringLiteral("linux")).toObject();
    const QJsonValue url = linux.value(QStringLiteral("url"));
    const QJsonValue sha = linux.value(QStringLiteral("sha256"));
    const QJsonValue sig = linux.value(QStringLiteral("sig"));
    pub.completa = url.isString() && sha.isString() && sig.isString();
    pub.url = url.toString();
    pub.sha256 = sha.toString();
    pub.sig = sig.toString();
    return pub;
}

bool masNueva(const QString& nueva, const QString& actual)
{
    const auto partes = [](const QString& v) {
        QList<qlonglong> n;
        for (const QString& p : v.split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
            bool ok = false;
            const qlonglong x = p.toLongLong(&ok, 10);
            n << (ok && !p.startsWith(QLatin1Char('+')) && !p.startsWith(QLatin1Char(' ')) ? x : 0);
        }
        return n;
    };
    const QList<qlonglong> a = partes(nueva), b = partes(actual);
    for (qsizetype i = 0; i < qMax(a.size(), b.size()); ++i) {
        const qlonglong x = i < a.size() ? a[i] : 0, y = i < b.size() ? b[i] : 0;
        if (x != y)
            return x > y;
    }
    return false;
}

int correrActualizador(const OpcionesActualizador& o)
{
    const QString sub = arg(o.argumentos, 0);
    const QString datos = arg(o.argumentos, 3, carpetaDatos());
    const QString u = datos + QStringLiteral("/update");
    QDir().mkpath(u);
    if (QFile::exists(datos + QStringLiteral("/sin-actualizar")))
        return 0;
    const auto log = [&](const QString& mensaje) {
        const QByteArray linea = (QDateTime::currentDateTimeUtc().toString(Qt::ISODate)
                                  + QStringLiteral(" [") + sub + QStringLiteral("] ") + mensaje
                                  + QLatin1Char('\n'))
                                     .toUtf8();
        QFile f(u + QStringLiteral("/actualizador.log"));
        if (f.open(QIODevice::WriteOnly | QIODevice::Append) || f.open(QIODevice::WriteOnly))
            f.write(linea);
    };
    if (sub == QLatin1String("consultar") || sub == QLatin1String("comprobar"))
        return comprobar(o, sub, u, log);
    if (sub == QLatin1String("aplicar"))
        return aplicarActualizacion(o, u, log);
    return 64;
}

void actualizador(const QStringList& args)
{
    OpcionesActualizador o;
    o.argumentos = args;
    const QString app = qEnvironmentVariable("ZORV_APP");
    o.app = app.isEmpty() ? QStringLiteral("/opt/ZorvPlayer") : app;
    salir(correrActualizador(o));
}

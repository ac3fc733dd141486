#include "actualizador/ultima.h"

#include <QJsonDocument>
#include <QJsonObject>

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

bool versionSegura(const QString& version)
{
    return !version.contains(QLatin1Char('/')) && version != QLatin1String("..");
}

Ultima leerUltima(const QByteArray& cuerpo)
{
    Ultima r;
    const QJsonDocument doc = QJsonDocument::fromJson(cuerpo);
    const QJsonObject raiz = doc.object();
    const QJsonValue version = raiz.value(QStringLiteral("version"));
    if (!doc.isObject() || !version.isString() || !versionSegura(version.toString()))
        return r;
    r.version = version.toString();
    const QJsonValue notas = raiz.value(QStringLiteral("notas"));
    r.notas = notas.isString() ? notas.toString() : QString();
    const QJsonObject linux = raiz.value(QStringLiteral("linux")).toObject();
    const QJsonValue url = linux.value(QStringLiteral("url"));
    const QJsonValue sha = linux.value(QStringLiteral("sha256"));
    const QJsonValue sig = linux.value(QStringLiteral("sig"));
    r.estado = Ultima::Incompleta;
    if (!url.isString() || !sha.isString() || !sig.isString())
        return r;
    r.url = url.toString();
    r.sha256 = sha.toString();
    r.firma = sig.toString();
    r.estado = Ultima::Valida;
    return r;
}

#include "comun/json.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <cmath>

namespace {

// JSON has no NaN or infinity; Qt would quietly write them as null.
bool codificable(const QJsonValue& v)
{
    if (v.isDouble())
        return std::isfinite(v.toDouble());
    if (v.isArray()) {
        for (const QJsonValue& e : v.toArray())
            if (!codificable(e))
                return false;
    }
    if (v.isObject()) {
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            if (!codificable(it.value()))
                return false;
    }
    return true;
}

} // namespace

std::optional<QJsonObject> leerJSON(const QString& ruta)
{
    QFile archivo(ruta);
    if (ruta.isEmpty() || !archivo.open(QIODevice::ReadOnly))
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(archivo.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.object();
}

bool escribirJSON(const QJsonObject& datos, const QString& ruta)
{
    if (ruta.isEmpty() || !codificable(QJsonValue(datos)))
        return false;
    const QByteArray bytes = QJsonDocument(datos).toJson(QJsonDocument::Compact);
    QDir().mkpath(QFileInfo(ruta).absolutePath());
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly))
        return false;
    if (archivo.write(bytes) != bytes.size()) {
        archivo.cancelWriting();
        return false;
    }
    return archivo.commit();
}

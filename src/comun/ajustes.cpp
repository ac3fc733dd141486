#include "comun/ajustes.h"

#include "comun/json.h"

QJsonObject Ajustes::valoresPorDefecto()
{
    return QJsonObject{
        {QStringLiteral("actualizaciones"), QStringLiteral("manual")},
        {QStringLiteral("capturas_dir"), QString()},
        {QStringLiteral("formato"), QStringLiteral("jpg")},
        {QStringLiteral("calidad_jpg"), 95},
        {QStringLiteral("metadatos_txt"), true},
        {QStringLiteral("avisar_hora"), true},
        {QStringLiteral("preguntar_caso"), true},
        {QStringLiteral("rafaga_segundos"), 2},
        {QStringLiteral("rafaga_auto"), false},
        {QStringLiteral("pospuesta"),
         QJsonObject{{QStringLiteral("version"), QString()}, {QStringLiteral("hasta"), 0}}},
    };
}

Ajustes::Ajustes(const QString& r)
    : datos(valoresPorDefecto())
    , ruta(r)
{
    if (const auto archivo = leerJSON(ruta)) {
        for (auto it = archivo->begin(); it != archivo->end(); ++it)
            datos.insert(it.key(), it.value());
    }
}

QString Ajustes::s(const QString& clave) const
{
    const QJsonValue v = datos.value(clave);
    return v.isString() ? v.toString() : QString();
}

bool Ajustes::b(const QString& clave) const
{
    const QJsonValue v = datos.value(clave);
    if (v.isBool())
        return v.toBool();
    // The player may have written 0 or 1 for a switch; any other number is no switch.
    if (v.isDouble())
        return v.toDouble() == 1.0;
    return false;
}

double Ajustes::n(const QString& clave) const
{
    const QJsonValue v = datos.value(clave);
    if (v.isDouble())
        return v.toDouble();
    if (v.isBool())
        return v.toBool() ? 1.0 : 0.0;
    return 0.0;
}

bool Ajustes::guardar() const
{
    return escribirJSON(datos, ruta);
}

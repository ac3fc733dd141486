#pragma once
#include <QJsonObject>
#include <QString>

// The settings file shared with the player: defaults, the file laid over them, typed
// reads with fallbacks. Keys this program does not know survive a save.
class Ajustes {
public:
    explicit Ajustes(const QString& ruta);

    QString s(const QString& clave) const;
    bool b(const QString& clave) const;
    double n(const QString& clave) const;
    bool guardar() const;

    static QJsonObject valoresPorDefecto();

    QJsonObject datos;
    const QString ruta;
};

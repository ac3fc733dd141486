#pragma once
// Small pure helpers shared by the recorder protocols: periods, dates, regular
// expressions over replies, XML escaping and file names from start times.
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

std::pair<QDateTime, QDateTime> fechasPeriodo(const QString& clave);

// A date formatter with a fixed C locale, so names and digits never follow the user's
// settings; in UTC or in the machine's time zone.
class FormatoFecha {
public:
    FormatoFecha(QString patron, bool utc) : patron(std::move(patron)), utc(utc) {}
    QString texto(const QDateTime& fecha) const;
    std::optional<QDateTime> fecha(const QString& texto) const;

private:
    QString patron;
    bool utc;
};

FormatoFecha fmt(const QString& patron, bool utc);

QList<QStringList> grupos(const QString& texto, const QString& patron);
std::optional<QString> uno(const QString& texto, const QString& patron);
QString htmlDecode(QString texto);
QString htmlEncode(QString texto);
QString nombreFecha(const std::optional<QDateTime>& fecha, const QString& extension,
                    const QString& prefijo = QStringLiteral("grabacion"));

#pragma once
// Small pure helpers shared by the recorder protocols: periods, dates, regular
// expressions over replies, XML escaping and file names from start times.
#include "grabadores/formato_fecha.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

std::pair<QDateTime, QDateTime> fechasPeriodo(const QString& clave);

// A date formatter for the recorder protocols, in UTC or in the machine's time zone.
FormatoFecha fmt(const QString& patron, bool utc);

QList<QStringList> grupos(const QString& texto, const QString& patron);
std::optional<QString> uno(const QString& texto, const QString& patron);
QString htmlDecode(QString texto);
QString htmlEncode(QString texto);
// A span of time as people say it, its non-zero parts only: "3 min 12 s", "1 h 5 s",
// "2 d 3 h"; "0 s" for none. The sign is dropped.
QString textoDuracion(qint64 segundos);

QString nombreFecha(const std::optional<QDateTime>& fecha, const QString& extension,
                    const QString& prefijo = QStringLiteral("grabacion"));

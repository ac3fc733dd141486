#pragma once
// What a device says of its own clock, read when its recordings are listed: how far it runs
// from the PC's clock (courts ask for it), and the zone its local times are written in.
#include "grabadores/modelo.h"

#include <QDateTime>
#include <QString>
#include <optional>

struct RelojEquipo {
    qint64 desfase = 0;       // device clock minus PC clock, in milliseconds
    std::optional<int> zona;  // seconds east of UTC of its local times; absent: the PC's own zone
};

// Hikvision's reply to GET /ISAPI/System/time: "localTime" with its offset, or without one
// and "timeZone" in the device's POSIX form ("CST-8:00:00" is UTC+8). `pc` is when the PC
// asked.
std::optional<RelojEquipo> leerRelojHikvision(const QString& xml, const QDateTime& pc);
// Dahua's reply to getCurrentTime ("result=2024-3-5 14:07:09", local) and its NTP
// configuration, whose "TimeZone" is an index into the device's table of standard offsets.
// Summer time is not in the index: the hour ahead is taken when the clock shows it.
std::optional<RelojEquipo> leerRelojDahua(const QString& hora, const QString& ntp, const QDateTime& pc);

// A page a device may not have: its text, or nothing for any failure but refused
// credentials, which are thrown (nothing more may be sent with them).
std::optional<QString> paginaOpcional(const Origen& o, const QString& ruta);

// Asked of the device; absent when it does not say. Refused credentials throw
// ErrorCredenciales: the listing must stop there.
std::optional<RelojEquipo> relojHikvision(const Origen& origen);
std::optional<RelojEquipo> relojDahua(const Origen& origen);

#include "custodia/equipo.h"

#include <QSysInfo>
#include <pwd.h>
#include <unistd.h>
#include <vector>

#ifndef ZORV_VERSION
#define ZORV_VERSION "sin versión"
#endif

QString versionPrograma() { return QStringLiteral(ZORV_VERSION); }

QString nombreEquipo() { return QSysInfo::machineHostName(); }

// The account the process runs as, not $USER, which anyone can set.
QString usuarioEquipo()
{
    const uid_t uid = ::geteuid();
    std::vector<char> memoria(16384);
    passwd pw{};
    passwd* hallado = nullptr;
    if (::getpwuid_r(uid, &pw, memoria.data(), memoria.size(), &hallado) == 0 && hallado && pw.pw_name)
        return QString::fromLocal8Bit(pw.pw_name) + QStringLiteral(" (uid ") + QString::number(uid) + QLatin1Char(')');
    return QStringLiteral("uid ") + QString::number(uid);
}

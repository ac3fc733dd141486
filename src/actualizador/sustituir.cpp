#include "actualizador/sustituir.h"

#include "actualizador/arbol.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

QString descripcionError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

int moverSistema(const QString& de, const QString& a, bool intercambio)
{
    const int r = ::renameat2(AT_FDCWD, QFile::encodeName(de).constData(), AT_FDCWD,
                              QFile::encodeName(a).constData(), intercambio ? RENAME_EXCHANGE : 0);
    return r == 0 ? 0 : errno;
}

Sustitucion sustituir(const QString& nuevo, const QString& a, const QString& viejo, const Mover& mover)
{
    int error = mover(nuevo, a, true);
    if (error == 0)
        return {QString(), nuevo};
    // Only a file system that cannot swap goes the long way; any other failure left
    // both trees where they were.
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP)
        return {descripcionError(error), QString()};
    error = mover(a, viejo, false);
    if (error == 0) {
        error = mover(nuevo, a, false);
        if (error == 0)
            return {QString(), viejo};
        if (!existe(a) && existe(viejo))
            mover(viejo, a, false);
    }
    return {descripcionError(error), QString()};
}

#include "actualizador/bloqueo.h"

#include "actualizador/sustituir.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

Bloqueo::Bloqueo(const QString& ruta)
{
    // Close-on-exec: the player started at the end must not keep the lock alive.
    fd = ::open(QFile::encodeName(ruta).constData(),
                O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return;
    const int error = errno;
    enUso = fd >= 0 && error == EWOULDBLOCK;
    fallo = descripcionError(error);
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

Bloqueo::~Bloqueo()
{
    if (fd >= 0)
        ::close(fd);
}

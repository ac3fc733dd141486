#include "custodia/dentro.h"

#include "comun/nombres.h"

#include <QByteArrayList>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool rutaDelCaso(const QString& relativa)
{
    if (relativa.isEmpty() || relativa.contains(QChar(0)))
        return false;
    for (const QStringView parte : QStringView(relativa).split(QLatin1Char('/')))
        if (parte.isEmpty() || parte == QLatin1String(".") || parte == QLatin1String(".."))
            return false;
    return true;
}

namespace {

int abrirEn(int carpeta, const QByteArray& nombre, int banderas)
{
    const int fd = ::openat(carpeta, nombre.constData(), banderas | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0 || (errno != ENOTDIR && errno != ELOOP))
        return fd;
    // A link where a folder was expected may come back as ENOTDIR: say it is a link.
    struct stat st {};
    if (::fstatat(carpeta, nombre.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
        errno = ELOOP;
    return -1;
}

} // namespace

int abrirDebajo(int carpeta, const QString& relativa)
{
    const QByteArrayList partes = bytesDeTexto(relativa).split('/');
    int actual = carpeta;
    for (qsizetype i = 0; i + 1 < partes.size(); ++i) {
        const int siguiente = abrirEn(actual, partes[i], O_RDONLY | O_DIRECTORY);
        const int error = errno;
        if (actual != carpeta)
            ::close(actual);
        if (siguiente < 0) {
            errno = error;
            return -1;
        }
        actual = siguiente;
    }
    const int fd = abrirEn(actual, partes.last(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
    const int error = errno;
    if (actual != carpeta)
        ::close(actual);
    errno = error;
    return fd;
}

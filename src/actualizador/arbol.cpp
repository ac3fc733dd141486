#include "actualizador/arbol.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opening the folder without following links makes sure the mode changed is that of
// the folder itself, never of what a link points to.
void abrirPermisos(const QString& carpeta)
{
    const int fd = ::open(QFile::encodeName(carpeta).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st;
    if (fstat(fd, &st) == 0 && (st.st_mode & S_IRWXU) != S_IRWXU)
        fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
    ::close(fd);
    const QFileInfoList hijos = QDir(carpeta).entryInfoList(
        QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QFileInfo& hijo : hijos)
        abrirPermisos(hijo.filePath());
}

} // namespace

bool existe(const QString& ruta)
{
    struct stat st;
    return ::lstat(QFile::encodeName(ruta).constData(), &st) == 0;
}

bool borrarArbol(const QString& ruta)
{
    struct stat st;
    if (::lstat(QFile::encodeName(ruta).constData(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return ::unlink(QFile::encodeName(ruta).constData()) == 0;
    abrirPermisos(ruta);
    return QDir(ruta).removeRecursively();
}

CarpetaNueva::CarpetaNueva(const QString& plantilla)
{
    QByteArray nombre = QFile::encodeName(plantilla);
    if (mkdtemp(nombre.data()))
        ruta_ = QFile::decodeName(nombre);
}

CarpetaNueva::~CarpetaNueva()
{
    if (valida())
        borrarArbol(ruta_);
}

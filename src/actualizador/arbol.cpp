#include "actualizador/arbol.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int abrirCarpeta(const QString& carpeta)
{
    return ::open(QFile::encodeName(carpeta).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Opening the folder without following links makes sure the mode changed is that of
// the folder itself, never of what a link points to.
void abrirPermisos(const QString& carpeta)
{
    const int fd = abrirCarpeta(carpeta);
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

bool normalizarModos(const QString& raiz)
{
    bool bien = ::chmod(QFile::encodeName(raiz).constData(), 0755) == 0;
    QDirIterator it(raiz, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QByteArray ruta = QFile::encodeName(it.next());
        struct stat st;
        if (::lstat(ruta.constData(), &st) != 0)
            return false;
        // The folder is private to this run: nothing can turn an entry into a link
        // between the lstat and the chmod.
        if (S_ISDIR(st.st_mode))
            bien &= ::chmod(ruta.constData(), 0755) == 0;
        else if (S_ISREG(st.st_mode))
            bien &= ::chmod(ruta.constData(), (st.st_mode & 0111) ? 0755 : 0644) == 0;
    }
    return bien;
}

void quitarRestos(const QString& carpeta, const QString& base)
{
    const QStringList nombres = QDir(carpeta).entryList(
        QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& nombre : nombres) {
        if (nombre != base && !nombre.startsWith(base + QLatin1Char('-')))
            continue;
        const QString ruta = carpeta + QLatin1Char('/') + nombre;
        const int fd = abrirCarpeta(ruta);
        struct stat st;
        // A shared temporary folder holds other users' folders too, and a living run
        // holds the lock on its own.
        if (fd >= 0 && fstat(fd, &st) == 0 && st.st_uid == geteuid() && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            borrarArbol(ruta);
        if (fd >= 0)
            ::close(fd);
    }
}

int volcar(const QString& ruta, bool sistemaEntero)
{
    const int fd = abrirCarpeta(ruta);
    if (fd < 0)
        return errno;
    const int r = sistemaEntero ? ::syncfs(fd) : ::fsync(fd);
    const int error = r == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

CarpetaNueva::CarpetaNueva(const QString& plantilla)
{
    QByteArray nombre = QFile::encodeName(plantilla);
    if (!mkdtemp(nombre.data()))
        return;
    ruta_ = QFile::decodeName(nombre);
    fd = abrirCarpeta(ruta_);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        borrarArbol(ruta_);
        ruta_.clear();
    }
}

CarpetaNueva::~CarpetaNueva()
{
    if (valida())
        borrarArbol(ruta_);
    if (fd >= 0)
        ::close(fd);
}

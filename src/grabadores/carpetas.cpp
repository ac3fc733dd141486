// Folders and the recordings below them. A recorder's export can hold hundreds of
// thousands of files, so the walk reads each folder once and asks the file system about
// nothing but the few entries whose names look like recordings.
#include "comun/nombres.h"
#include "grabadores/extensiones.h"
#include "grabadores/unidades.h"

#include <QCollator>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Entrada {
    QByteArray nombre;
    unsigned char tipo;  // d_type: DT_DIR, DT_REG, DT_LNK, DT_UNKNOWN...
};

// Hands the visible entries of a folder to `f` in directory order, until `f` answers
// false; "." and ".." and hidden names are left out. The caller keeps `fd` open.
template <typename F>
void visibles(int fd, F f)
{
    const int copia = dup(fd);
    DIR* d = copia >= 0 ? fdopendir(copia) : nullptr;
    if (!d) {
        if (copia >= 0)
            close(copia);
        return;
    }
    while (const dirent* e = readdir(d))
        if (e->d_name[0] != '.' && !f(Entrada{QByteArray(e->d_name), e->d_type}))
            break;
    closedir(d);
}

int abrirCarpeta(const QByteArray& ruta)
{
    return open(ruta.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Whether the entry is a folder, following a symbolic link as a file browser does.
bool esCarpeta(int fd, const Entrada& e)
{
    if (e.tipo == DT_DIR)
        return true;
    if (e.tipo != DT_LNK && e.tipo != DT_UNKNOWN)
        return false;
    struct stat st;
    return fstatat(fd, e.nombre.constData(), &st, 0) == 0 && S_ISDIR(st.st_mode);
}

QByteArray unida(const QByteArray& carpeta, const QByteArray& nombre)
{
    return carpeta.endsWith('/') ? carpeta + nombre : carpeta + '/' + nombre;
}

class Recorrido {
public:
    explicit Recorrido(const OrigenPtr& origen) : origen(origen) {}

    // Files of one folder first, then its sub-folders one after the other. Only one
    // folder is open at a time, so no tree is too deep to walk.
    void carpeta(const QByteArray& ruta)
    {
        const int fd = abrirCarpeta(ruta);
        if (fd < 0)
            return;
        std::vector<QByteArray> debajo;
        visibles(fd, [&](const Entrada& e) {
            if (e.tipo == DT_DIR) {
                debajo.push_back(e.nombre);
                return true;
            }
            // Links are not followed: a recording is a regular file of this tree.
            if (e.tipo != DT_REG && e.tipo != DT_UNKNOWN)
                return true;
            const bool candidato = pareceGrabacion(e.nombre);
            if (!candidato && e.tipo == DT_REG)
                return true;
            struct stat st;
            if (fstatat(fd, e.nombre.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                return true;
            if (S_ISDIR(st.st_mode))
                debajo.push_back(e.nombre);
            else if (candidato && S_ISREG(st.st_mode))
                anotar(unida(ruta, e.nombre), e.nombre, st);
            return !lleno();
        });
        close(fd);
        for (const QByteArray& sub : debajo) {
            if (lleno())
                return;
            carpeta(unida(ruta, sub));
        }
    }

    QList<FicheroPtr> lista;

private:
    bool lleno() const { return lista.size() >= MAXIMO_GRABACIONES; }

    static bool pareceGrabacion(const QByteArray& nombre)
    {
        const qsizetype punto = nombre.lastIndexOf('.');
        // No extension of the set is longer than a dot and four characters, and a
        // lower-cased non-ASCII letter never becomes more than four bytes of UTF-8.
        if (punto < 0 || nombre.size() - punto > 1 + 4 * 4)
            return false;
        return esGrabacion(QString::fromUtf8(nombre.constData() + punto, nombre.size() - punto));
    }

    // Names keep their bytes (textoDeBytes): a file named in Latin-1 can still be copied.
    void anotar(const QByteArray& ruta, const QByteArray& nombre, const struct stat& st)
    {
        const QString completa = textoDeBytes(ruta);
        const qint64 ms = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
        lista << std::make_shared<Fichero>(textoDeBytes(nombre),
                                           QDateTime::fromMSecsSinceEpoch(ms), int64_t(st.st_size),
                                           completa, origen, completa);
    }

    const OrigenPtr& origen;
};

} // namespace

QList<OrigenPtr> subcarpetas(const QString& carpeta)
{
    const QByteArray ruta = bytesDeTexto(carpeta);
    const int fd = abrirCarpeta(ruta);
    if (fd < 0)
        return {};
    QStringList nombres;
    visibles(fd, [&](const Entrada& e) {
        if (esCarpeta(fd, e))
            nombres << textoDeBytes(e.nombre);
        return true;
    });
    close(fd);
    // Under the bare C locale Qt compares code points and ignores numeric mode; a file
    // browser still shows cam2 before cam10 there, and this program speaks Spanish.
    const QLocale sistema = QLocale::system();
    QCollator orden(sistema.language() == QLocale::C ? QLocale(QLocale::Spanish, QLocale::Spain)
                                                     : sistema);
    orden.setNumericMode(true);
    orden.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(nombres.begin(), nombres.end(), orden);
    QList<OrigenPtr> r;
    for (const QString& n : nombres) {
        const QString completa = textoDeBytes(unida(ruta, bytesDeTexto(n)));
        r << std::make_shared<Origen>(QStringLiteral("carpeta"), n, completa,
                                      QStringLiteral("Carpeta · ") + completa);
    }
    return r;
}

bool tieneSubcarpetas(const QString& carpeta)
{
    const int fd = abrirCarpeta(bytesDeTexto(carpeta));
    if (fd < 0)
        return false;
    bool alguna = false;
    visibles(fd, [&](const Entrada& e) {
        alguna = esCarpeta(fd, e);
        return !alguna;
    });
    close(fd);
    return alguna;
}

QList<FicheroPtr> listarUnidad(const OrigenPtr& origen)
{
    Recorrido r(origen);
    const QByteArray ruta = bytesDeTexto(origen->ruta);
    if (!ruta.isEmpty())
        r.carpeta(ruta);
    return r.lista;
}

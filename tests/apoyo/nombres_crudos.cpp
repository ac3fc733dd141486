#include "apoyo/nombres_crudos.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

bool crearCarpetaCruda(const QByteArray& ruta)
{
    return ::mkdir(ruta.constData(), 0755) == 0;
}

bool escribirCrudo(const QByteArray& ruta, const QByteArray& datos)
{
    const int fd = ::open(ruta.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    qsizetype hecho = 0;
    while (hecho < datos.size()) {
        const ssize_t n = ::write(fd, datos.constData() + hecho, size_t(datos.size() - hecho));
        if (n <= 0)
            break;
        hecho += n;
    }
    return ::close(fd) == 0 && hecho == datos.size();
}

QByteArray leerCrudo(const QByteArray& ruta)
{
    const int fd = ::open(ruta.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray datos;
    char bloque[65536];
    for (ssize_t n; (n = ::read(fd, bloque, sizeof bloque)) > 0;)
        datos.append(bloque, n);
    ::close(fd);
    return datos;
}

namespace {

int borrarEntrada(const char* ruta, const struct stat*, int, struct FTW*)
{
    ::remove(ruta);
    return 0; // keep going: remove what can be removed
}

} // namespace

CarpetaCrudaTemporal::CarpetaCrudaTemporal()
{
    const QByteArray tmp = qEnvironmentVariableIsEmpty("TMPDIR") ? QByteArray("/tmp") : qgetenv("TMPDIR");
    QByteArray plantilla = tmp + "/zorv-crudo-XXXXXX";
    if (::mkdtemp(plantilla.data()))
        ruta_ = plantilla;
}

CarpetaCrudaTemporal::~CarpetaCrudaTemporal()
{
    if (!ruta_.isEmpty())
        ::nftw(ruta_.constData(), borrarEntrada, 16, FTW_DEPTH | FTW_PHYS);
}

#include "apoyo/nombres_crudos.h"

#include <fcntl.h>
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

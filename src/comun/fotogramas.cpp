#include "comun/fotogramas.h"

#include "comun/nombres.h"
#include "comun/salida.h"
#include "comun/texto.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

QStringList listarFotogramas(const QString& carpeta, const QString& extension)
{
    QStringList nombres;
    for (const QString& nombre : nombresEnCarpeta(carpeta)) {
        if (!nombre.toLower().endsWith(extension))
            continue;
        // Anything but a folder may be a frame (a link, a pipe the player writes into);
        // what cannot be decoded is dealt with when it is read.
        const auto info = infoEntrada(carpeta + QLatin1Char('/') + nombre);
        if (!info || !info->carpeta)
            nombres << nombre;
    }
    std::sort(nombres.begin(), nombres.end());
    return nombres;
}

std::optional<int> numeroDeFotograma(const QString& nombre)
{
    const qsizetype punto = nombre.lastIndexOf(QLatin1Char('.'));
    return enteroDecimal(punto < 0 ? nombre : nombre.left(punto));
}

void escribirProgreso(const QString& carpeta, int i, int n)
{
    // A temporary file beside it, then rename(2) onto the name: the name itself is
    // replaced, so a symbolic link called "progreso.txt" never has its target written,
    // and the player never reads a half-written file.
    const QByteArray dir = bytesDeTexto(carpeta);
    QByteArray plantilla = dir + "/.progreso.txt.XXXXXX";
    const int fd = ::mkstemp(plantilla.data());
    if (fd < 0)
        return;
    const QByteArray texto = QByteArray::number(i) + '/' + QByteArray::number(n);
    const bool completo = escribirTodo(fd, texto);
    // mkstemp makes the file private; give it the permissions of an ordinary new file.
    ::fchmod(fd, 0644);
    const bool escrito = ::close(fd) == 0 && completo;
    if (!escrito || ::rename(plantilla.constData(), (dir + "/progreso.txt").constData()) != 0)
        ::unlink(plantilla.constData());
}

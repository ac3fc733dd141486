#include "analisis/fotograma.h"

#include "comun/nombres.h"
#include "comun/salida.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <fcntl.h>
#include <unistd.h>

QImage leerFotograma(const QString& ruta)
{
    // Opened by its bytes: QFile would re-encode a name that is not UTF-8 and miss it.
    const int fd = ::open(bytesDeTexto(ruta).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QImage();
    QFile archivo;
    if (!archivo.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return QImage();
    }
    QImageReader lector(&archivo);
    // As a reader given the file name would: the extension is tried first, the content
    // decides when they disagree.
    const QString extension = QFileInfo(ruta).suffix().toLower();
    if (!extension.isEmpty())
        lector.setFormat(extension.toLatin1());
    lector.setAutoTransform(false);
    lector.setAllocationLimit(kLimiteFotogramaMB);
    // libpng reports a damaged file on standard error by itself; the player expects only
    // our own lines there, and a damaged frame is handled by its caller.
    ErrorEstandarApartado callar;
    return lector.read();
}

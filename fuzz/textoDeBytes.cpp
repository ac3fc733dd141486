// File names and arguments pass from bytes to text and back on every listing and every
// command line: no byte may change on the way, and ordinary text is plain UTF-8.
#include "apoyo.h"
#include "comun/nombres.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const QByteArray bytes = bytesDe(datos, largo);
    const QString texto = textoDeBytes(bytes);
    EXIGIR(bytesDeTexto(texto) == bytes);
    if (QString::fromUtf8(bytes).toUtf8() == bytes)
        EXIGIR(texto == QString::fromUtf8(bytes));
    // The same input read as UTF-16 text, as a name typed or built in the program is.
    QString escrito(qsizetype(largo / 2), Qt::Uninitialized);
    std::memcpy(escrito.data(), datos, size_t(escrito.size()) * 2);
    if (escrito.isValidUtf16()) {
        EXIGIR(bytesDeTexto(escrito) == escrito.toUtf8());
        EXIGIR(textoDeBytes(bytesDeTexto(escrito)) == escrito);
    }
    return 0;
}

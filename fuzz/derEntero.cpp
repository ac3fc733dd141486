// A DER INTEGER around any bytes, taken apart again.
#include "apoyo.h"
#include "actualizador/firma.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const QByteArray valor = bytesDe(datos, largo);
    const QByteArray der = derEntero(valor);
    EXIGIR(der.size() >= 2 && der[0] == 0x02);
    qsizetype i = 1;
    uint64_t longitud = uint8_t(der[i++]);
    if (longitud >= 0x80) {
        const int k = int(longitud - 0x80);
        EXIGIR(k >= 1 && k <= 8 && der.size() > i + k);
        longitud = 0;
        for (int j = 0; j < k; ++j)
            longitud = longitud << 8 | uint8_t(der[i++]);
    }
    const QByteArray contenido = der.mid(i);
    EXIGIR(uint64_t(contenido.size()) == longitud);
    // Unsigned: a top bit set gets one 0x00 in front; nothing else is changed.
    const bool alto = !valor.isEmpty() && uint8_t(valor[0]) >= 0x80;
    EXIGIR(contenido == (alto ? QByteArray(1, '\0') + valor : valor));
    return 0;
}

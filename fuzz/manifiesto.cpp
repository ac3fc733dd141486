// The signed manifest inside an update package, read line by line.
#include "apoyo.h"
#include "actualizador/actualizador.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const auto lista = leerManifiesto(bytesDe(datos, largo));
    if (!lista)
        return 0;
    for (auto it = lista->begin(); it != lista->end(); ++it) {
        EXIGIR(!it.key().isEmpty());
        EXIGIR(it.value().size() == 64);
        for (const QChar c : it.value())
            EXIGIR((c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                   || (c >= QLatin1Char('a') && c <= QLatin1Char('f')));
    }
    return 0;
}

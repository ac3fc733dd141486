// The numbers of the command line: decimal and integer arguments, whatever the player
// (or a user at a shell) passes.
#include "apoyo.h"
#include "comun/texto.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const QString texto = QString::fromLocal8Bit(reinterpret_cast<const char*>(datos),
                                                 qsizetype(largo));
    const std::optional<double> d = numeroDecimal(texto);
    const std::optional<int> e = enteroDecimal(texto);
    // A whole literal: never with white space around it.
    if (d || e)
        EXIGIR(!texto.isEmpty() && !texto.front().isSpace() && !texto.back().isSpace());
    // Every decimal integer is also a floating-point literal of the same value.
    if (e)
        EXIGIR(d && *d == double(*e));
    return 0;
}

// Escaping of text that goes into XML request bodies (names, paths a device gave us).
#include "apoyo.h"
#include "grabadores/ayudas.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const QString texto = textoDe(datos, largo);
    const QString escapado = htmlEncode(texto);
    // Nothing that could open or close an element survives, and every "&" left starts
    // one of the three entities written.
    EXIGIR(!escapado.contains(QLatin1Char('<')) && !escapado.contains(QLatin1Char('>')));
    for (qsizetype i = escapado.indexOf(QLatin1Char('&')); i >= 0;
         i = escapado.indexOf(QLatin1Char('&'), i + 1)) {
        const QStringView resto = QStringView(escapado).mid(i);
        EXIGIR(resto.startsWith(u"&amp;") || resto.startsWith(u"&lt;")
               || resto.startsWith(u"&gt;"));
    }
    return 0;
}

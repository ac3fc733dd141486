// A register line as anyone with access to the case may have left it: read as an entry
// (or refused), and an entry read always writes back as one line that reads the same.
// The same bytes as the start of a report: the anchor read from it is in range.
#include "apoyo.h"
#include "custodia/dentro.h"
#include "custodia/entrada.h"
#include "custodia/informe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const QByteArray linea = bytesDe(datos, largo);
    QString motivo;
    const std::optional<EntradaCustodia> e = entradaDeLinea(linea, &motivo);
    EXIGIR(e || !motivo.isEmpty());
    if (e) {
        const QByteArray escrita = lineaDeEntrada(*e);
        EXIGIR(!escrita.contains('\n'));
        const std::optional<EntradaCustodia> otra = entradaDeLinea(escrita, nullptr);
        EXIGIR(otra && lineaDeEntrada(*otra) == escrita);
        // What the check opens never starts at the root nor climbs out.
        if (rutaDelCaso(e->fichero))
            EXIGIR(!e->fichero.startsWith(QLatin1Char('/')) && !e->fichero.split(QLatin1Char('/')).contains(QStringLiteral("..")));
    }
    if (const std::optional<AnclaInforme> a = anclaDeInforme(linea))
        EXIGIR(a->lineas >= 0 && esHuella(a->cadena));
    return 0;
}

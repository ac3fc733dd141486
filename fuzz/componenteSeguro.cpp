// A name from outside made into one file name: as the recorder protocols keep it, and
// after the cleaning of typed names, with dashes, as the cameras window saves a download.
#include "apoyo.h"
#include "comun/texto.h"
#include "grabadores/descargas.h"

namespace {

void comprobar(const QString& nombre, QChar sustituto)
{
    const QString seguro = componenteSeguro(nombre, sustituto);
    EXIGIR(esComponenteSeguro(seguro));
    // Character for character, after one in front for a hidden or empty name: what is
    // kept stays in place and nothing else is made up.
    const qsizetype delante = nombre.isEmpty() || nombre.startsWith(QLatin1Char('.')) ? 1 : 0;
    EXIGIR(seguro.size() == nombre.size() + delante);
    EXIGIR(!delante || seguro[0] == sustituto);
    for (qsizetype i = 0; i < nombre.size(); ++i)
        EXIGIR(seguro[i + delante] == nombre[i] || seguro[i + delante] == sustituto);
    EXIGIR(componenteSeguro(seguro, sustituto) == seguro);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const QString nombre = textoDe(datos, largo);
    comprobar(nombre, QLatin1Char('_'));
    const QString escrito = limpio(nombre);
    for (const char c : {'\\', '/', ':', '*', '?', '"', '<', '>', '|'})
        EXIGIR(!escrito.contains(QLatin1Char(c)));
    comprobar(escrito, QLatin1Char('-'));
    return 0;
}

// The listing tar prints of an update package: every member name comes from the archive.
#include "apoyo.h"
#include "actualizador/actualizador.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const QString listado = textoDe(datos, largo);
    // An empty listing is an archive with nothing in it: never a package.
    if (listadoSeguro(listado))
        EXIGIR(!listado.trimmed().isEmpty());
    return 0;
}

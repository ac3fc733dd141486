// "latest.json" as the update server (or anyone between) may serve it.
#include "apoyo.h"
#include "actualizador/actualizador.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const std::optional<Publicacion> pub = leerPublicacion(bytesDe(datos, largo));
    if (!pub)
        return 0;
    // The version names a file and a folder: it must never climb out of them.
    EXIGIR(!pub->version.isEmpty() && !pub->version.contains(QLatin1Char('/'))
           && !pub->version.contains(QLatin1String("..")));
    const QString instalada = QStringLiteral("2.0.3");
    EXIGIR(!(masNueva(pub->version, instalada) && masNueva(instalada, pub->version)));
    EXIGIR(!masNueva(pub->version, pub->version));
    return 0;
}

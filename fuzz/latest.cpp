// "latest.json" as the update server (or anyone between) may serve it.
#include "apoyo.h"
#include "actualizador/ultima.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const Ultima u = leerUltima(bytesDe(datos, largo));
    if (u.estado == Ultima::Ilegible)
        return 0;
    // The version names a file and a folder: it must never climb out of them.
    EXIGIR(versionSegura(u.version) && !u.version.contains(QLatin1Char('/')));
    if (u.estado == Ultima::Valida)
        EXIGIR(!u.url.isNull() && !u.sha256.isNull() && !u.firma.isNull());
    const QString instalada = QStringLiteral("2.0.3");
    EXIGIR(!(masNueva(u.version, instalada) && masNueva(instalada, u.version)));
    EXIGIR(!masNueva(u.version, u.version));
    return 0;
}

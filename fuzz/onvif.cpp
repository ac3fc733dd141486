// One datagram arriving after the ONVIF discovery probe, as anything on the network may
// send it.
#include "apoyo.h"
#include "grabadores/descubrir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const auto leida = leerRespuestaONVIF(bytesDe(datos, largo));
    if (!leida)
        return 0;
    // A device's own words reach one line of the window: short, no line breaks.
    for (const QString& texto : {leida->first, leida->second}) {
        EXIGIR(texto.toUcs4().size() <= 64);
        EXIGIR(!texto.contains(QLatin1Char('\n')) && !texto.contains(QLatin1Char('\r')));
    }
    return 0;
}

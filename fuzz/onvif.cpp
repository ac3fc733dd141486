// One reply to the ONVIF discovery probe, as any device on the network may send it.
#include "apoyo.h"
#include "grabadores/descubrir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const auto [nombre, hardware] = leerRespuestaONVIF(bytesDe(datos, largo));
    // Percent-decoding only ever shortens what the reply held.
    EXIGIR(nombre.size() <= qsizetype(largo) && hardware.size() <= qsizetype(largo));
    return 0;
}

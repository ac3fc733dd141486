// Entity decoding of text pulled out of recorder replies.
#include "apoyo.h"
#include "grabadores/ayudas.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const QString texto = textoDe(datos, largo);
    const QString claro = htmlDecode(texto);
    // Every entity is longer than the character it stands for.
    EXIGIR(claro.size() <= texto.size());
    return 0;
}

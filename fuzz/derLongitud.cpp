// DER length octets for any length, read back the way a DER reader would.
#include "apoyo.h"
#include "actualizador/firma.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    uint64_t n = 0;
    std::memcpy(&n, datos, std::min(largo, sizeof n));
    const QByteArray l = derLongitud(n);
    EXIGIR(!l.isEmpty());
    const uint8_t primero = uint8_t(l[0]);
    if (n < 128) {
        EXIGIR(l.size() == 1 && primero == n);
        return 0;
    }
    // Long form: 0x80 + k, then k big-endian octets, the first one not zero.
    const int k = primero - 0x80;
    EXIGIR(k >= 1 && k <= 8 && l.size() == 1 + k && l[1] != 0);
    uint64_t leido = 0;
    for (int i = 1; i <= k; ++i)
        leido = leido << 8 | uint8_t(l[i]);
    EXIGIR(leido == n);
    return 0;
}

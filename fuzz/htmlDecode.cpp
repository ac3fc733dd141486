// Entity decoding of text pulled out of recorder replies.
#include "apoyo.h"
#include "grabadores/ayudas.h"

#include <string>
#include <string_view>

namespace {

// The decoding as the recorder protocols describe it, written plainly: "&amp;", "&lt;",
// "&gt;" and "&quot;" in this order, each replaced over the whole text from left to
// right, a replaced piece never read again by the same replacement.
std::u16string reemplazar(const std::u16string& texto, std::u16string_view de, std::u16string_view a)
{
    std::u16string r;
    for (size_t i = 0; i < texto.size();) {
        if (texto.compare(i, de.size(), de) == 0) {
            r += a;
            i += de.size();
        } else {
            r += texto[i++];
        }
    }
    return r;
}

QString decodificarLlano(const QString& texto)
{
    std::u16string t = texto.toStdU16String();
    t = reemplazar(t, u"&amp;", u"&");
    t = reemplazar(t, u"&lt;", u"<");
    t = reemplazar(t, u"&gt;", u">");
    t = reemplazar(t, u"&quot;", u"\"");
    return QString::fromStdU16String(t);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const QString texto = textoDe(datos, largo);
    const QString claro = htmlDecode(texto);
    // Every entity is longer than the character it stands for.
    EXIGIR(claro.size() <= texto.size());
    EXIGIR(claro == decodificarLlano(texto));
    return 0;
}

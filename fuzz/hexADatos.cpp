// The signature text of an update, as the server sends it: hex to bytes, then checked
// against the built-in key.
#include "apoyo.h"
#include "actualizador/firma.h"

#include <QRegularExpression>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const QString hex = QString::fromLatin1(reinterpret_cast<const char*>(datos), qsizetype(largo));
    const std::optional<QByteArray> bytes = hexADatos(hex);
    EXIGIR(bytes.has_value() == (hex.size() % 2 == 0));
    if (bytes) {
        EXIGIR(bytes->size() == hex.size() / 2);
        static const QRegularExpression soloHex(QStringLiteral("\\A[0-9A-Fa-f]*\\z"));
        if (soloHex.match(hex).hasMatch())
            EXIGIR(QString::fromLatin1(bytes->toHex()) == hex.toLower());
    }
    // No text made up by the fuzzer is a signature of the maker's key.
    EXIGIR(!firmaValida(QStringLiteral("0123456789abcdef0123456789abcdef"
                                       "0123456789abcdef0123456789abcdef"),
                        hex));
    return 0;
}

// Regular-expression captures over replies, with the patterns the protocols use.
#include "apoyo.h"
#include "grabadores/ayudas.h"

namespace {

constexpr const char* kPatrones[] = {
    "<searchMatchItem>(.*?)</searchMatchItem>",
    "<model>(.*?)</model>",
    "var model=\"(.*?)\"",
    "result=(\\d+)",
    "^(.+):(\\d+)$",
    "(\\d{6})[_-](\\d{6})",
    "/(\\d{8})/?$",
    "(x)?y|z",
    "<DeviceInfo|<deviceType>|<model>",
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    if (largo == 0)
        return 0;
    const QString patron = QString::fromLatin1(kPatrones[datos[0] % std::size(kPatrones)]);
    const QString texto = textoDe(datos + 1, largo - 1);
    const QList<QStringList> g = grupos(texto, patron);
    const std::optional<QString> u = uno(texto, patron);
    EXIGIR(u.has_value() == !g.isEmpty());
    for (const QStringList& m : g) {
        EXIGIR(!m.isEmpty() && m.size() == g.first().size());
        for (const QString& parte : m)
            EXIGIR(!parte.isNull() && texto.contains(parte));
    }
    if (u)
        EXIGIR(*u == (g.first().size() >= 2 ? g.first().at(1) : g.first().at(0)));
    return 0;
}

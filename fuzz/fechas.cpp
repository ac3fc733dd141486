// The date readers: the ISO form in UTC and the local patterns recorders answer with,
// then the file name made from what was read.
#include "apoyo.h"
#include "grabadores/ayudas.h"

namespace {

struct Patron {
    const char* texto;
    bool utc;
};

// The patterns the recorder protocols read replies and names with.
constexpr Patron kPatrones[] = {
    {"yyyy-MM-dd'T'HH:mm:ss'Z'", true},
    {"yyyy-MM-dd HH:mm:ss", false},
    {"yyyyMMdd", false},
    {"yyMMddHHmmss", false},
    {"dd/MM/yyyy HH:mm:ss", false},
    {"yyyy-MM-dd-HH-mm-ss", false},
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    if (largo == 0)
        return 0;
    const Patron& p = kPatrones[datos[0] % std::size(kPatrones)];
    const FormatoFecha formato = fmt(QString::fromLatin1(p.texto), p.utc);
    const std::optional<QDateTime> fecha = formato.fecha(textoDe(datos + 1, largo - 1));
    if (!fecha)
        return 0;
    EXIGIR(fecha->isValid());
    // What a UTC reader accepted it writes back in a form it reads as the same moment.
    if (p.utc) {
        const std::optional<QDateTime> otra = formato.fecha(formato.texto(*fecha));
        EXIGIR(otra && *otra == *fecha);
    }
    // A device's date names a file in the case folder: it must never name a path.
    const QString nombre = nombreFecha(fecha, QStringLiteral(".mp4"));
    EXIGIR(!nombre.contains(QLatin1Char('/')) && !nombre.startsWith(QLatin1Char('.')));
    return 0;
}

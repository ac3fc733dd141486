// The date readers: the patterns recorders answer with, in UTC and in a local zone with
// summer time, then the file name made from what was read. An odd first byte makes the
// rest a pattern of its own, a NUL, and the text.
#include "apoyo.h"
#include "grabadores/ayudas.h"

namespace {

struct Patron {
    const char* texto;
    bool utc;
};

constexpr Patron kPatrones[] = {
    {"yyyy-MM-dd'T'HH:mm:ss'Z'", true},
    {"yyyy-MM-dd HH:mm:ss", false},
    {"yyyyMMdd", false},
    {"yyMMddHHmmss", false},
    {"dd/MM/yyyy HH:mm:ss", false},
    {"yyyy-MM-dd-HH-mm-ss", false},
    {"EEE, dd MMM yyyy HH:mm:ss 'GMT'", true},
    {"yyyy-MM-dd'T'HH:mm:ss.SSSX", true},
    {"MMM dd hh:mm a yyyy Z", false},
};

const bool zona = zonaConVerano();

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    if (largo == 0)
        return 0;
    const QByteArray resto = bytesDe(datos + 1, largo - 1);
    QString patron = QString::fromLatin1(kPatrones[(datos[0] / 2) % std::size(kPatrones)].texto);
    bool utc = kPatrones[(datos[0] / 2) % std::size(kPatrones)].utc;
    QByteArray texto = resto;
    const bool propio = datos[0] % 2 == 1;
    if (propio) {
        const qsizetype corte = resto.indexOf('\0');
        patron = QString::fromUtf8(resto.left(corte < 0 ? resto.size() : corte));
        texto = corte < 0 ? QByteArray() : resto.mid(corte + 1);
        utc = datos[0] & 2;
    }
    const FormatoFecha formato = fmt(patron, utc);
    const std::optional<QDateTime> fecha = formato.fecha(QString::fromUtf8(texto));
    if (!fecha)
        return 0;
    EXIGIR(fecha->isValid());
    formato.texto(*fecha);
    // What a UTC reader of a whole date accepted it writes back as the same moment.
    if (utc && !propio) {
        const std::optional<QDateTime> otra = formato.fecha(formato.texto(*fecha));
        EXIGIR(otra && *otra == *fecha);
    }
    // A device's date names a file in the case folder: it must never name a path.
    const QString nombre = nombreFecha(fecha, QStringLiteral(".mp4"));
    EXIGIR(!nombre.contains(QLatin1Char('/')) && !nombre.startsWith(QLatin1Char('.')));
    return 0;
}

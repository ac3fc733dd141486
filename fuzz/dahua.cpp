// One findNextFile reply of a Dahua recorder's media file finder: its "items[n].Clave=valor"
// lines, the recordings made from them, and the download path of each.
#include "apoyo.h"
#include "comun/nombres.h"
#include "grabadores/canales.h"
#include "grabadores/dahua.h"

#include <algorithm>
#include <cstring>

namespace {

const bool zona = zonaConVerano();

bool finDeLinea(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0a && u <= 0x0d) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

bool deRuta(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || std::strchr("-._~!$&'()*+,;=:@%/", c);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    static const OrigenPtr origen = std::make_shared<Origen>(
        QStringLiteral("red"), QStringLiteral("dvr"), QStringLiteral("10.77.0.3"), QString());
    const ItemsDahua items = leerItemsDahua(bytesDe(datos, largo));
    for (auto it = items.begin(); it != items.end(); ++it) {
        EXIGIR(it.key() >= 0);
        for (auto k = it->begin(); k != it->end(); ++k) {
            EXIGIR(!k.key().isEmpty());
            for (const QChar c : k.key())
                EXIGIR(c.isDigit() || (c.unicode() < 128 && c.isLetter()) || c == QLatin1Char('_'));
            const QString& v = k.value();
            EXIGIR(!v.startsWith(QLatin1Char(' ')) && !v.startsWith(QLatin1Char('\t')));
            EXIGIR(!v.endsWith(QLatin1Char(' ')) && !v.endsWith(QLatin1Char('\t')));
            EXIGIR(std::none_of(v.begin(), v.end(), finDeLinea));
        }
    }
    const QList<FicheroPtr> ficheros = ficherosDahua(items, origen);
    EXIGIR(ficheros.size() == items.size());
    qsizetype i = 0;
    for (auto it = items.begin(); it != items.end(); ++it, ++i) {
        const Fichero& f = *ficheros[i];
        EXIGIR(esComponenteSeguro(f.nombre));
        EXIGIR(f.dato == it->value(QStringLiteral("FilePath")) && f.ruta == f.dato);
        bool ok = false;
        const qint64 n = it->value(QStringLiteral("Length")).toLongLong(&ok);
        EXIGIR(f.tamano == (ok ? n : 0));
        // The device's path goes back percent-encoded part by part: it decodes to itself,
        // keeps its "/" and nothing in it can end the path (no "?", "#", space or control).
        const QString carga = rutaCargaDahua(f.dato);
        EXIGIR(carga.count(QLatin1Char('/')) == f.dato.count(QLatin1Char('/')));
        const QByteArray latin = carga.toLatin1();
        EXIGIR(std::all_of(latin.begin(), latin.end(), deRuta));
        EXIGIR(QByteArray::fromPercentEncoding(latin) == bytesDeTexto(f.dato));
    }
    // The same bytes as the channel pages: a count within bounds, one name per channel.
    const QString texto = textoDe(datos, largo);
    const int cuenta = leerCuentaDahua(texto, QStringLiteral("table.MaxRemoteInputChannels")).value_or(1);
    EXIGIR(cuenta >= 1 && cuenta <= MAXIMO_CANALES);
    const QList<Canal> canales = leerTitulosDahua(texto, cuenta);
    EXIGIR(canales.size() == cuenta);
    for (qsizetype i = 0; i < canales.size(); ++i)
        EXIGIR(canales[i].numero == i + 1 && std::none_of(canales[i].nombre.begin(), canales[i].nombre.end(), finDeLinea));
    return 0;
}

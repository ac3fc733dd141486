// One page of a Hikvision recorder's search reply, as anything on the network may write
// it, and the download request made for each recording it lists.
#include "apoyo.h"
#include "grabadores/canales.h"
#include "grabadores/hikvision.h"

namespace {

const bool zona = zonaConVerano();

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    static const OrigenPtr origen = std::make_shared<Origen>(
        QStringLiteral("red"), QStringLiteral("nvr"), QStringLiteral("10.77.0.2"), QString());
    const QString respuesta = textoDe(datos, largo);
    const QList<FicheroPtr> pagina = leerPaginaHikvision(respuesta, origen);
    EXIGIR(pagina.size() <= respuesta.count(QStringLiteral("</searchMatchItem>")));
    for (const FicheroPtr& f : pagina) {
        // Named after its start, or "grabacion": never after anything else the device wrote.
        EXIGIR(esComponenteSeguro(f->nombre) && f->nombre.endsWith(QLatin1String(".mp4")));
        EXIGIR(f->fecha.has_value() != f->nombre.startsWith(QLatin1String("grabacion")));
        EXIGIR(!f->fecha || f->fecha->isValid());
        EXIGIR(f->tamano >= 0);
        EXIGIR(f->ruta.startsWith(QLatin1String("hasta ")) && f->origen == origen);
        // The locator goes back inside one element: it can neither close it nor open another.
        const QString cuerpo = cuerpoDescargaHikvision(f->dato);
        EXIGIR(cuerpo.count(QLatin1Char('<')) == 5 && cuerpo.count(QLatin1Char('>')) == 5);
    }
    // The same bytes as a channel list: numbered channels, in order, each once, their names
    // device text that can break no line of a record.
    for (const QString& elemento : {QStringLiteral("InputProxyChannel"), QStringLiteral("VideoInputChannel")}) {
        const auto canales = leerCanalesHikvision(respuesta, elemento);
        EXIGIR(!canales || (!canales->isEmpty() && canales->size() <= MAXIMO_CANALES));
        for (qsizetype i = 0; canales && i < canales->size(); ++i) {
            const Canal& c = (*canales)[i];
            EXIGIR(c.numero >= 1 && c.numero <= 9999 && (i == 0 || c.numero > (*canales)[i - 1].numero));
            EXIGIR(c.nombre.size() <= 128 && !c.nombre.contains(QLatin1Char('\n')) && c.nombre == c.nombre.trimmed());
        }
    }
    return 0;
}

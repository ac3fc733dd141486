// A directory index page of a VStarcam camera's memory card: the links taken from it, the
// day folders among them and the recordings the file links stand for. The first byte picks
// the page's own path.
#include "apoyo.h"
#include "grabadores/extensiones.h"
#include "grabadores/vstarcam.h"

#include <QRegularExpression>

namespace {

const bool zona = zonaConVerano();

const char* const kRutas[] = {"/sd/", "/sd/20240331/", "/sd/20240331/record000", "/"};

QString extension(const QString& link)
{
    const QString nombre = link.mid(link.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype punto = nombre.lastIndexOf(QLatin1Char('.'));
    return punto < 0 ? QString() : nombre.mid(punto).toLower();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    if (largo == 0)
        return 0;
    static const OrigenPtr origen = std::make_shared<Origen>(
        QStringLiteral("red"), QStringLiteral("cam"), QStringLiteral("10.77.0.4"), QString());
    // A month whose last day has the clock's jump forward.
    static const QDateTime inicio(QDate(2024, 3, 1), QTime(0, 0));
    static const QDateTime fin(QDate(2024, 3, 31), QTime(23, 59, 59));
    static const QRegularExpression dia(QStringLiteral("/\\d{8}/?$"));
    const QString ruta = QString::fromLatin1(kRutas[datos[0] % std::size(kRutas)]);
    const QString pagina = textoDe(datos + 1, largo - 1);

    const QStringList links = linksDePagina(pagina, ruta);
    EXIGIR(links.size() <= pagina.count(QStringLiteral("href=\"")));
    for (const QString& link : links) {
        // Every link is a path on the device, and none leads to the parent folder.
        EXIGIR(link.startsWith(QLatin1Char('/')));
        EXIGIR(!link.endsWith(QLatin1String("..")) && !link.endsWith(QLatin1String("../")));
        EXIGIR(!diaEnPeriodo(link, inicio, fin) || dia.match(link).hasMatch());
        const FicheroPtr f = ficheroVStarcam(link, origen, inicio, fin);
        if (!f)
            continue;
        EXIGIR(esComponenteSeguro(f->nombre));
        EXIGIR(EXTENSIONES.contains(extension(link)));
        EXIGIR(!f->crudo || f->nombre.endsWith(QLatin1String(".mp4")));
        EXIGIR(!f->fecha || (f->fecha->isValid() && *f->fecha >= inicio && *f->fecha <= fin));
        EXIGIR(f->dato == link && f->ruta == link && f->tamano == 0);
    }
    return 0;
}

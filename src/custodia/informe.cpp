#include "custodia/informe.h"

#include "comun/texto.h"
#include "custodia/entrada.h"
#include "custodia/equipo.h"
#include "custodia/registro.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRegularExpression>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Fila {
    int numero;
    EntradaCustodia e;
};

struct Grupo {
    QString clave;
    QList<Fila> filas;
};

struct Leido {
    QList<Grupo> grupos;
    QList<int> ilegibles;
    int lineas = 0;
    QString cadena = kCadenaInicial;
};

QString html(const QString& t)
{
    return enUnaLinea(t).toHtmlEscaped().replace(QLatin1Char('\''), QStringLiteral("&#39;"));
}

QString celda(const QString& t, const char* clase = nullptr)
{
    return (clase ? QStringLiteral("<td class=\"%1\">").arg(QLatin1String(clase)) : QStringLiteral("<td>")) + t
        + QStringLiteral("</td>");
}

QString desfase(const std::optional<int64_t>& ms)
{
    if (!ms)
        return QStringLiteral("sin dato");
    return QString::asprintf("%+.3f s", double(*ms) / 1000.0);
}

QString claveGrupo(const EntradaCustodia& e)
{
    return e.tipoOrigen + QChar(0) + e.origen + QChar(0) + e.direccion + QChar(0) + QString::number(e.canal);
}

void agrupar(Leido& l, const LineaRegistro& linea)
{
    l.lineas = linea.numero;
    l.cadena = linea.sha256;
    std::optional<EntradaCustodia> e;
    if (!linea.larga && linea.terminada)
        e = entradaDeLinea(linea.texto, nullptr);
    if (!e) {
        l.ilegibles << linea.numero;
        return;
    }
    const QString clave = claveGrupo(*e);
    auto grupo = std::find_if(l.grupos.begin(), l.grupos.end(), [&](const Grupo& g) { return g.clave == clave; });
    if (grupo == l.grupos.end())
        grupo = l.grupos.insert(l.grupos.end(), Grupo{clave, {}});
    grupo->filas << Fila{linea.numero, *e};
}

QString cabeceraGrupo(const EntradaCustodia& e)
{
    QStringList datos;
    const QString tipo = e.tipoOrigen == QLatin1String("red") ? QStringLiteral("equipo en red")
        : e.tipoOrigen == QLatin1String("carpeta")            ? QStringLiteral("carpeta")
                                                               : QStringLiteral("unidad");
    datos << tipo << (e.tipoOrigen == QLatin1String("red") ? QStringLiteral("dirección ") : QStringLiteral("ruta "))
            + html(e.direccion);
    if (!e.familia.isEmpty())
        datos << QStringLiteral("familia ") + html(e.familia);
    if (!e.modelo.isEmpty())
        datos << QStringLiteral("modelo ") + html(e.modelo);
    if (e.canal > 0)
        datos << QStringLiteral("canal ") + QString::number(e.canal)
                + (e.nombreCanal.isEmpty() ? QString() : QStringLiteral(" «") + html(e.nombreCanal) + QStringLiteral("»"));
    return QStringLiteral("<h2>") + html(e.origen) + QStringLiteral("</h2>\n<p class=\"origen\">") + datos.join(QStringLiteral(" · "))
        + QStringLiteral("</p>\n");
}

QString filaTabla(const Fila& f)
{
    const EntradaCustodia& e = f.e;
    QString fichero = html(e.fichero);
    if (e.segundosDirecto > 0)
        fichero += QStringLiteral("<br><small>directo, %1 s pedidos%2</small>")
                       .arg(e.segundosDirecto)
                       .arg(e.detenidoAlCerrar ? QStringLiteral(", detenido al cerrar la ventana") : QString());
    if (e.intentos > 1)
        fichero += QStringLiteral("<br><small>intentos: ") + html(textoIntentos(e.intentos, e.reanudadaEn))
            + QStringLiteral("</small>");
    return QStringLiteral("<tr>") + celda(QString::number(f.numero)) + celda(fichero)
        + celda(e.inicioGrabacion.isEmpty() ? QStringLiteral("desconocido") : html(e.inicioGrabacion))
        + celda(html(e.inicioDescarga) + QStringLiteral("<br>") + html(e.finDescarga))
        + celda(QString::number(e.tamano) + QStringLiteral("<br><small>") + tamanoLegible(e.tamano) + QStringLiteral("</small>"))
        + celda(html(e.sha256), "h") + celda(desfase(e.desfaseRelojMs)) + QStringLiteral("</tr>\n");
}

const char* const kEstilo = R"(
@page { size: A4; margin: 14mm 12mm; }
body { font: 10pt/1.35 "DejaVu Sans", Arial, sans-serif; color: #111; margin: 1em auto; max-width: 190mm; }
h1 { font-size: 16pt; margin: 0 0 .4em; }
h2 { font-size: 12pt; margin: 1.4em 0 .2em; page-break-after: avoid; }
p { margin: .3em 0; }
p.origen { color: #444; page-break-after: avoid; }
table { width: 100%; border-collapse: collapse; table-layout: fixed; font-size: 8.5pt; }
th, td { border: .5pt solid #888; padding: 2pt 3pt; vertical-align: top; text-align: left; overflow-wrap: anywhere; }
th { background: #eee; }
thead { display: table-header-group; }
tr { page-break-inside: avoid; }
.h { font-family: "DejaVu Sans Mono", monospace; font-size: 7.5pt; word-break: break-all; }
table.datos th { width: 34%; }
col.n { width: 6%; } col.f { width: 22%; } col.i { width: 13%; } col.d { width: 15%; }
col.t { width: 10%; } col.s { width: 25%; } col.r { width: 9%; }
small { color: #555; }
)";

QString pagina(const QString& carpetaCaso, const Leido& l)
{
    const QString caso = QFileInfo(carpetaCaso).fileName();
    QString t = QStringLiteral("<!DOCTYPE html>\n<html lang=\"es\"><head><meta charset=\"utf-8\">\n");
    t += QStringLiteral("<meta name=\"registro-de-custodia\" content=\"%1 %2\">\n").arg(l.lineas).arg(l.cadena);
    t += QStringLiteral("<title>Registro de custodia · ") + html(caso) + QStringLiteral("</title>\n<style>")
        + QLatin1String(kEstilo) + QStringLiteral("</style></head>\n<body>\n<h1>Registro de custodia</h1>\n");
    t += QStringLiteral("<table class=\"datos\">\n<tr><th>Caso</th><td>") + html(caso)
        + QStringLiteral("</td></tr>\n<tr><th>Carpeta del caso</th><td>") + html(carpetaCaso)
        + QStringLiteral("</td></tr>\n<tr><th>Entradas del registro</th><td>") + QString::number(l.lineas)
        + QStringLiteral("</td></tr>\n<tr><th>Última cadena (SHA-256 de la última entrada)</th><td class=\"h\">") + l.cadena
        + QStringLiteral("</td></tr>\n<tr><th>Informe hecho</th><td>")
        + html(horaLocalISO(QDateTime::currentDateTime()))
        + QStringLiteral("</td></tr>\n<tr><th>Hecho con</th><td>zorv-ventanas ") + html(versionPrograma())
        + QStringLiteral(" · equipo ") + html(nombreEquipo()) + QStringLiteral(" · usuario ") + html(usuarioEquipo())
        + QStringLiteral("</td></tr>\n</table>\n");
    t += QStringLiteral("<p>Para comprobar que nada ha cambiado: <code>zorv-ventanas verificar &quot;") + html(carpetaCaso)
        + QStringLiteral("&quot;</code>. Su última línea debe dar la misma última cadena que este informe.</p>\n"
                         "<p><small>Reloj del equipo: cuánto adelantaba (+) o atrasaba (−) el reloj del equipo "
                         "respecto al del PC cuando se listaron sus grabaciones.</small></p>\n");
    for (const Grupo& g : l.grupos) {
        t += cabeceraGrupo(g.filas.first().e);
        t += QStringLiteral("<table><colgroup><col class=\"n\"><col class=\"f\"><col class=\"i\"><col class=\"d\">"
                            "<col class=\"t\"><col class=\"s\"><col class=\"r\"></colgroup>\n<thead><tr><th>N.º</th>"
                            "<th>Fichero</th><th>Inicio de la grabación</th><th>Descarga (UTC): inicio y fin</th>"
                            "<th>Tamaño (bytes)</th><th>SHA-256</th><th>Reloj del equipo</th></tr></thead>\n<tbody>\n");
        for (const Fila& f : g.filas)
            t += filaTabla(f);
        t += QStringLiteral("</tbody></table>\n");
    }
    if (!l.ilegibles.isEmpty()) {
        QStringList n;
        for (int i : l.ilegibles)
            n << QString::number(i);
        t += QStringLiteral("<h2>Entradas que no se pueden leer</h2>\n<p>") + n.join(QStringLiteral(", "))
            + QStringLiteral(" (escrituras interrumpidas o líneas alteradas: <code>verificar</code> dice cuáles).</p>\n");
    }
    return t + QStringLiteral("</body></html>\n");
}

// Temporary file in the folder, flushed, then renamed over the report: a reader sees the
// old page or the new one; a link at the report's name is replaced, never followed.
QString reemplazar(const QString& carpeta, const QByteArray& contenido)
{
    QByteArray plantilla = QFile::encodeName(carpeta + QStringLiteral("/.") + kNombreInforme) + ".XXXXXX";
    const int fd = ::mkostemp(plantilla.data(), O_CLOEXEC);
    if (fd < 0)
        return razonSistema(errno);
    qsizetype hecho = 0;
    while (hecho < contenido.size()) {
        const ssize_t n = ::write(fd, contenido.constData() + hecho, size_t(contenido.size() - hecho));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        hecho += n;
    }
    const int error = errno;
    const bool bien = hecho == contenido.size() && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
    ::close(fd);
    if (!bien || ::rename(plantilla.constData(), QFile::encodeName(carpeta + QLatin1Char('/') + kNombreInforme).constData()) != 0) {
        const int motivo = bien ? errno : error;
        ::unlink(plantilla.constData());
        return razonSistema(motivo ? motivo : ENOSPC);
    }
    return QString();
}

} // namespace

QString escribirInforme(const QString& carpetaCaso)
{
    Descriptor fd(::open(QFile::encodeName(carpetaCaso + QLatin1Char('/') + kNombreRegistro).constData(),
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd < 0)
        return errno == ENOENT ? QString() : razonSistema(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return QStringLiteral("el registro de custodia no es un fichero normal");
    // Held until the page is in place: two windows on one case leave the newer page.
    if (!bloquearRegistro(fd, LOCK_EX, 20000))
        return QStringLiteral("otro programa tiene ocupado el registro de custodia");
    Leido l;
    if (!leerLineas(fd, [&l](const LineaRegistro& linea) { agrupar(l, linea); }))
        return razonSistema(errno);
    return reemplazar(carpetaCaso, pagina(carpetaCaso, l).toUtf8());
}

std::optional<AnclaInforme> anclaDeInforme(const QByteArray& inicio)
{
    static const QRegularExpression meta(
        QStringLiteral("<meta name=\"registro-de-custodia\" content=\"([0-9]{1,9}) ([0-9a-f]{64})\">"));
    const QRegularExpressionMatch m = meta.match(QString::fromLatin1(inicio));
    if (!m.hasMatch())
        return std::nullopt;
    return AnclaInforme{m.captured(1).toInt(), m.captured(2)};
}

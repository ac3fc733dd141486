#include "actualizador/actualizador.h"

#include "comun/ejecutar.h"

namespace {

// Reads one name quoted by tar's "c" quoting style starting at `i` (on the quote). A
// line without the quote gives -1 from indexOf: that is no name, not a position.
std::optional<QString> leerCitado(const QString& linea, qsizetype& i)
{
    if (i < 0 || i >= linea.size() || linea[i] != QLatin1Char('"'))
        return std::nullopt;
    QByteArray bytes;
    for (++i; i < linea.size(); ++i) {
        const QChar c = linea[i];
        if (c == QLatin1Char('"')) {
            ++i;
            return QString::fromUtf8(bytes);
        }
        if (c != QLatin1Char('\\')) {
            bytes += QString(c).toUtf8();
            continue;
        }
        if (++i >= linea.size())
            return std::nullopt;
        const char e = linea[i].toLatin1();
        if (e >= '0' && e <= '7') {
            int v = 0;
            for (int k = 0; k < 3 && i < linea.size() && linea[i] >= QLatin1Char('0')
                 && linea[i] <= QLatin1Char('7');
                 ++k, ++i)
                v = v * 8 + (linea[i].toLatin1() - '0');
            --i;
            bytes += char(v);
            continue;
        }
        static const QByteArray de = "abfnrtv", a = "\a\b\f\n\r\t\v";
        const qsizetype k = de.indexOf(e);
        bytes += k >= 0 ? a[k] : e;
    }
    return std::nullopt;
}

bool componenteMala(const QString& ruta)
{
    for (const QString& parte : ruta.split(QLatin1Char('/')))
        if (parte == QLatin1String(".."))
            return true;
    return false;
}

bool nombreDentro(const QString& nombre)
{
    return (nombre == QLatin1String("ZorvPlayer") || nombre == QLatin1String("ZorvPlayer/")
            || nombre.startsWith(QLatin1String("ZorvPlayer/")))
        && !componenteMala(nombre);
}

} // namespace

bool paqueteSeguro(const QString& ruta)
{
    const ResultadoProceso r = ejecutar(
        QStringLiteral("/usr/bin/tar"),
        {QStringLiteral("-tvzf"), ruta, QStringLiteral("--quoting-style=c"),
         QStringLiteral("--numeric-owner")},
        120.0);
    return r.estado == 0 && listadoSeguro(r.salida);
}

bool listadoSeguro(const QString& listado)
{
    bool alguno = false;
    for (const QString& linea : listado.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QChar tipo = linea.isEmpty() ? QChar() : linea[0];
        if (tipo != QLatin1Char('-') && tipo != QLatin1Char('d') && tipo != QLatin1Char('l')
            && tipo != QLatin1Char('h'))
            return false;
        qsizetype i = linea.indexOf(QLatin1Char('"'));
        const std::optional<QString> nombre = leerCitado(linea, i);
        if (!nombre || !nombreDentro(*nombre))
            return false;
        if (tipo == QLatin1Char('l') || tipo == QLatin1Char('h')) {
            i = linea.indexOf(QLatin1Char('"'), i);
            const std::optional<QString> destino = leerCitado(linea, i);
            if (!destino)
                return false;
            // A link target with ".." could climb out through another link; links are
            // refused unless they plainly point down into the tree.
            if (tipo == QLatin1Char('l')
                && (destino->startsWith(QLatin1Char('/')) || componenteMala(*destino)))
                return false;
            if (tipo == QLatin1Char('h') && !nombreDentro(*destino))
                return false;
        }
        alguno = true;
    }
    return alguno;
}

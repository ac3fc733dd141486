#include "actualizador/paquete.h"

#include "comun/ejecutar.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace {

const QString kRaiz = QStringLiteral("ZorvPlayer");

// Reads one name quoted by tar's "c" quoting style starting at `i` (on the quote).
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

// "ZorvPlayer" or a path below it made of plain parts.
bool nombreDentro(const QString& nombre)
{
    return nombre.section(QLatin1Char('/'), 0, 0) == kRaiz && partesPlanas(nombre);
}

// Follows a symbolic link through the package's own links, never above the top folder.
bool resuelveDentro(const QString& enlace, const QHash<QString, QString>& enlaces)
{
    QStringList ruta = enlace.split(QLatin1Char('/'));
    ruta.removeLast();
    QStringList quedan = enlaces.value(enlace).split(QLatin1Char('/'));
    int saltos = 0;
    while (!quedan.isEmpty()) {
        const QString parte = quedan.takeFirst();
        if (parte.isEmpty() || parte == QLatin1String("."))
            continue;
        if (parte == QLatin1String("..")) {
            if (ruta.size() <= 1)
                return false;
            ruta.removeLast();
            continue;
        }
        ruta << parte;
        const auto otro = enlaces.constFind(ruta.join(QLatin1Char('/')));
        if (otro == enlaces.constEnd())
            continue;
        // The same bound the kernel puts on nested links; also ends loops.
        if (++saltos > 40 || otro->startsWith(QLatin1Char('/')))
            return false;
        ruta.removeLast();
        quedan = otro->split(QLatin1Char('/')) + quedan;
    }
    return true;
}

std::optional<Miembro> leerLinea(const QString& linea)
{
    Miembro m;
    m.tipo = linea.isEmpty() ? '?' : linea[0].toLatin1();
    if (m.tipo != '-' && m.tipo != 'd' && m.tipo != 'l' && m.tipo != 'h')
        return std::nullopt;
    qsizetype i = linea.indexOf(QLatin1Char('"'));
    const QStringList campos = linea.left(i).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    bool ok = false;
    m.tamano = campos.size() >= 3 ? campos[2].toLongLong(&ok) : 0;
    const std::optional<QString> nombre = leerCitado(linea, i);
    if (!ok || m.tamano < 0 || !nombre)
        return std::nullopt;
    m.nombre = *nombre;
    if (m.tipo == 'd' && m.nombre.endsWith(QLatin1Char('/')))
        m.nombre.chop(1);
    if (m.tipo == 'l' || m.tipo == 'h') {
        i = linea.indexOf(QLatin1Char('"'), i);
        const std::optional<QString> destino = leerCitado(linea, i);
        if (!destino || destino->isEmpty())
            return std::nullopt;
        m.destino = *destino;
    }
    return m;
}

} // namespace

bool partesPlanas(const QString& ruta)
{
    for (const QString& parte : ruta.split(QLatin1Char('/')))
        if (parte.isEmpty() || parte == QLatin1String(".") || parte == QLatin1String(".."))
            return false;
    return true;
}

std::optional<QList<Miembro>> leerListado(const QString& listado)
{
    QList<Miembro> miembros;
    QHash<QString, char> tipos;
    QHash<QString, QString> enlaces;
    for (const QString& linea : listado.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const std::optional<Miembro> m = leerLinea(linea);
        if (!m || !nombreDentro(m->nombre) || tipos.contains(m->nombre))
            return std::nullopt;
        if (m->tipo == 'h' && tipos.value(m->destino) != '-')
            return std::nullopt;
        if (m->tipo == 'l') {
            if (m->destino.startsWith(QLatin1Char('/')))
                return std::nullopt;
            enlaces.insert(m->nombre, m->destino);
        }
        tipos.insert(m->nombre, m->tipo);
        miembros << *m;
    }
    if (miembros.isEmpty())
        return std::nullopt;
    for (const Miembro& m : miembros) {
        // Writing below a link would write wherever it points.
        for (qsizetype i = m.nombre.indexOf(QLatin1Char('/')); i >= 0;
             i = m.nombre.indexOf(QLatin1Char('/'), i + 1))
            if (enlaces.contains(m.nombre.left(i)))
                return std::nullopt;
        if (m.tipo == 'l' && !resuelveDentro(m.nombre, enlaces))
            return std::nullopt;
    }
    return miembros;
}

std::optional<QList<Miembro>> listarPaquete(const QString& ruta)
{
    const ResultadoProceso r = ejecutar(
        QStringLiteral("/usr/bin/tar"),
        {QStringLiteral("-tvzf"), ruta, QStringLiteral("--quoting-style=c"),
         QStringLiteral("--numeric-owner")},
        120.0);
    if (r.estado != 0)
        return std::nullopt;
    return leerListado(r.salida);
}

bool paqueteSeguro(const QString& ruta)
{
    return listarPaquete(ruta).has_value();
}

#include "actualizador/manifiesto.h"

#include "actualizador/firma.h"
#include "comun/sha256.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kEquipo = QStringLiteral("TeamIdentifier=Q7X2KM4ZRT");
const QString kFirma = QStringLiteral(".firma");
const QString kFlecha = QStringLiteral(" -> ");

bool rutaLimpia(const QString& ruta)
{
    return ruta.section(QLatin1Char('/'), 0, 0) != kFirma && partesPlanas(ruta);
}

bool esFirma(const QString& relativa)
{
    return relativa == kFirma + QStringLiteral("/manifiesto")
        || relativa == kFirma + QStringLiteral("/manifiesto.sig");
}

// The top folder (empty path), ".firma" and every folder holding an entry.
bool carpetaFirmada(const QString& relativa, const Manifiesto& m)
{
    return relativa.isEmpty() || relativa == kFirma || m.carpetas.contains(relativa);
}

// What an installed entry may look like: only the owner writes, nothing runs as
// another user or group.
bool modoNormal(const QString& ruta)
{
    struct stat st;
    if (::lstat(QFile::encodeName(ruta).constData(), &st) != 0)
        return false;
    const mode_t modo = st.st_mode & 07777;
    return S_ISLNK(st.st_mode) || modo == 0755 || (S_ISREG(st.st_mode) && modo == 0644);
}

} // namespace

std::optional<Manifiesto> leerManifiesto(const QByteArray& texto)
{
    static const QRegularExpression re(QStringLiteral("^([0-9a-f]{64})  (.+)$"));
    Manifiesto m;
    bool conVersion = false;
    for (const QString& linea : QString::fromUtf8(texto).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (linea == kEquipo) {
            m.equipo = true;
            continue;
        }
        if (linea.startsWith(QLatin1String("Version="))) {
            if (conVersion)
                return std::nullopt;
            conVersion = true;
            m.version = linea.mid(8);
            continue;
        }
        const QRegularExpressionMatch r = re.match(linea);
        if (!r.hasMatch())
            return std::nullopt;
        EntradaManifiesto e;
        e.digesto = r.captured(1);
        QString ruta = r.captured(2);
        const qsizetype flecha = ruta.indexOf(kFlecha);
        if (flecha >= 0) {
            e.enlace = true;
            e.destino = ruta.mid(flecha + kFlecha.size());
            ruta.truncate(flecha);
            if (e.destino.isEmpty() || digestoEnlace(e.destino) != e.digesto)
                return std::nullopt;
        }
        if (!rutaLimpia(ruta) || m.entradas.contains(ruta))
            return std::nullopt;
        for (qsizetype i = ruta.indexOf(QLatin1Char('/')); i >= 0; i = ruta.indexOf(QLatin1Char('/'), i + 1))
            m.carpetas.insert(ruta.left(i));
        m.entradas.insert(ruta, e);
    }
    return m;
}

QString digestoEnlace(const QString& destino)
{
    return QString::fromLatin1(QCryptographicHash::hash(destino.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QByteArray textoManifiesto(const Manifiesto& m)
{
    QStringList rutas = m.entradas.keys();
    rutas.sort();
    QByteArray texto;
    for (const QString& ruta : rutas) {
        const EntradaManifiesto& e = m.entradas[ruta];
        texto += (e.digesto + QStringLiteral("  ") + ruta + (e.enlace ? kFlecha + e.destino : QString())
                  + QLatin1Char('\n'))
                     .toUtf8();
    }
    if (m.equipo)
        texto += (kEquipo + QLatin1Char('\n')).toUtf8();
    return texto + (QStringLiteral("Version=") + m.version + QLatin1Char('\n')).toUtf8();
}

std::optional<Manifiesto> manifiestoFirmado(const QByteArray& texto, const QString& firmaHex,
                                            const QString& version)
{
    if (!firmaValidaDatos(texto, firmaHex))
        return std::nullopt;
    std::optional<Manifiesto> m = leerManifiesto(texto);
    if (!m || !m->equipo || m->version.isEmpty() || m->version != version)
        return std::nullopt;
    return m;
}

bool listadoCoincide(const QList<Miembro>& listado, const Manifiesto& manifiesto)
{
    const QString prefijo = QStringLiteral("ZorvPlayer/");
    qsizetype vistos = 0;
    for (const Miembro& m : listado) {
        const QString relativa = m.nombre.mid(prefijo.size());
        if (m.tipo == 'd') {
            if (!carpetaFirmada(relativa, manifiesto))
                return false;
            continue;
        }
        if (esFirma(relativa) && m.tipo == '-')
            continue;
        const auto e = manifiesto.entradas.constFind(relativa);
        if (e == manifiesto.entradas.constEnd() || e->enlace != (m.tipo == 'l')
            || (e->enlace && e->destino != m.destino))
            return false;
        ++vistos;
    }
    return vistos == manifiesto.entradas.size();
}

bool arbolCoincide(const QString& n, const Manifiesto& manifiesto)
{
    const QString raiz = QFileInfo(n).canonicalFilePath();
    if (raiz.isEmpty() || QFileInfo(n).isSymLink() || !modoNormal(n))
        return false;
    qsizetype vistos = 0;
    QDirIterator it(n, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString ruta = it.next();
        const QFileInfo info = it.fileInfo();
        const QString relativa = QDir(n).relativeFilePath(ruta);
        if (!modoNormal(ruta))
            return false;
        if (info.isDir() && !info.isSymLink()) {
            if (!carpetaFirmada(relativa, manifiesto))
                return false;
            continue;
        }
        if (relativa.startsWith(kFirma + QLatin1Char('/')))
            continue;
        const auto e = manifiesto.entradas.constFind(relativa);
        if (e == manifiesto.entradas.constEnd() || e->enlace != info.isSymLink())
            return false;
        if (e->enlace) {
            const QString real = info.canonicalFilePath();
            const QByteArray destino = QFile::encodeName(ruta);
            char texto[4096];
            const ssize_t largo = ::readlink(destino.constData(), texto, sizeof texto);
            if (largo <= 0 || largo >= static_cast<ssize_t>(sizeof texto) || QFile::decodeName(QByteArray(texto, largo)) != e->destino
                || real.isEmpty() || (real != raiz && !real.startsWith(raiz + QLatin1Char('/'))))
                return false;
        } else if (!info.isFile() || sha256DeArchivo(ruta) != e->digesto) {
            // Only regular files are read: a fifo would block the reading.
            return false;
        }
        ++vistos;
    }
    return vistos == manifiesto.entradas.size();
}

// Mounted drives, from the kernel's mount table and its block-device tree.
#include "grabadores/unidades.h"

#include "comun/texto.h"
#include "grabadores/descargas.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <sys/statvfs.h>

namespace {

const QSet<QString> SISTEMAS_DE_RED = {
    QStringLiteral("nfs"),  QStringLiteral("nfs4"),       QStringLiteral("cifs"),
    QStringLiteral("smb3"), QStringLiteral("fuse.sshfs"), QStringLiteral("davfs"),
};

// Each match of `patron` (one group: the digits of a byte in `base`) becomes that byte;
// mountinfo writes spaces as \040, udev writes them in labels as \x20.
QString sinEscapes(const QString& texto, const QRegularExpression& patron, int base)
{
    QByteArray bytes;
    qsizetype desde = 0;
    for (auto it = patron.globalMatch(texto); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        bytes += QStringView(texto).mid(desde, m.capturedStart() - desde).toUtf8();
        bytes += char(m.captured(1).toInt(nullptr, base));
        desde = m.capturedEnd();
    }
    bytes += QStringView(texto).mid(desde).toUtf8();
    return QString::fromUtf8(bytes);
}

QString sinOctales(const QString& campo)
{
    static const QRegularExpression octal(QStringLiteral(R"(\\([0-7]{3}))"));
    return sinEscapes(campo, octal, 8);
}

std::optional<Montaje> montaje(const QString& linea)
{
    const QStringList c = linea.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const qsizetype guion = c.indexOf(QStringLiteral("-"), 6);
    if (c.size() < 5 || guion < 0 || guion + 2 >= c.size())
        return std::nullopt;
    return Montaje{c[2], sinOctales(c[4]), sinOctales(c[guion + 1]), sinOctales(c[guion + 2])};
}

bool seOfrece(const Montaje& m)
{
    if (m.punto == QLatin1String("/"))
        return false;
    if (SISTEMAS_DE_RED.contains(m.sistema))
        return true;
    for (const char* raiz : {"/media/", "/run/media/", "/mnt/"})
        if (m.punto.startsWith(QLatin1String(raiz)))
            return true;
    return m.punto == QLatin1String("/mnt");
}

QString leido(const QString& ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.read(64)).trimmed();
}

// The device's folder in the kernel's tree, symbolic links resolved; empty if unknown.
QString carpetaBloque(const QString& raiz, const Montaje& m)
{
    const QString nombre = QFileInfo(m.origen).fileName();
    QStringList candidatas;
    if (!nombre.isEmpty())
        candidatas << raiz + QStringLiteral("/sys/class/block/") + nombre;
    candidatas << raiz + QStringLiteral("/sys/dev/block/") + m.dispositivo;
    for (const QString& c : candidatas) {
        const QString real = QFileInfo(c).canonicalFilePath();
        if (!real.isEmpty())
            return real;
    }
    return QString();
}

QString clase(const QString& raiz, const Montaje& m)
{
    if (SISTEMAS_DE_RED.contains(m.sistema))
        return QStringLiteral("Unidad de red");
    const QString bloque = carpetaBloque(raiz, m);
    if (bloque.isEmpty())
        return QStringLiteral("Disco");
    // A partition has no "removable" of its own: the disk holding it does.
    const QString disco = QFileInfo::exists(bloque + QStringLiteral("/partition"))
                              ? QFileInfo(bloque).path()
                              : bloque;
    if (leido(disco + QStringLiteral("/removable")) == QLatin1String("1"))
        return QStringLiteral("Unidad extraíble");
    static const QRegularExpression usb(QStringLiteral("/usb\\d+/"));
    if (usb.match(disco).hasMatch())
        return QStringLiteral("Disco USB");
    return QStringLiteral("Disco");
}

// udev names each labelled file system in /dev/disk/by-label.
QString etiqueta(const QString& raiz, const Montaje& m)
{
    if (!m.origen.startsWith(QLatin1Char('/')))
        return QString();
    const QString dispositivo = QFileInfo(raiz + m.origen).canonicalFilePath();
    const QString nombre = QFileInfo(m.origen).fileName();
    QDir etiquetas(raiz + QStringLiteral("/dev/disk/by-label"));
    const QStringList entradas = etiquetas.entryList(QDir::AllEntries | QDir::System |
                                                     QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& e : entradas) {
        const QFileInfo enlace(etiquetas.filePath(e));
        const bool mismo = (!dispositivo.isEmpty() && enlace.canonicalFilePath() == dispositivo) ||
                           QFileInfo(enlace.symLinkTarget()).fileName() == nombre;
        if (mismo)
            return etiquetaDeEnlace(e);
    }
    return QString();
}

std::optional<int64_t> capacidad(const QString& ruta)
{
    struct statvfs s;
    if (statvfs(QFile::encodeName(ruta).constData(), &s) != 0 || s.f_blocks == 0)
        return std::nullopt;
    return int64_t(s.f_blocks) * int64_t(s.f_frsize);
}

} // namespace

QList<Montaje> leerMontajes(const QByteArray& tabla)
{
    // A path mounted twice shows only what was mounted last.
    QList<Montaje> montajes;
    for (const QByteArray& linea : tabla.split('\n')) {
        const std::optional<Montaje> m = montaje(QString::fromUtf8(linea));
        if (!m || !seOfrece(*m))
            continue;
        auto igual = std::find_if(montajes.begin(), montajes.end(),
                                  [&](const Montaje& o) { return o.punto == m->punto; });
        if (igual != montajes.end())
            *igual = *m;
        else
            montajes << *m;
    }
    return montajes;
}

QString etiquetaDeEnlace(const QString& enlace)
{
    static const QRegularExpression hex(QStringLiteral(R"(\\x([0-9a-fA-F]{2}))"));
    QString etiqueta = sinEscapes(enlace, hex, 16);
    // The drive chose its label: it is shown on one line and may name a folder.
    for (QChar& c : etiqueta)
        if (esControl(c)) c = QLatin1Char('_');
    return etiqueta;
}

QList<OrigenPtr> buscarUnidades(const QString& raiz)
{
    QFile tabla(raiz + QStringLiteral("/proc/self/mountinfo"));
    if (!tabla.open(QIODevice::ReadOnly))
        return {};
    QList<OrigenPtr> r;
    for (const Montaje& m : leerMontajes(tabla.readAll())) {
        const QString ruta = raiz + m.punto;
        const QString tipo = clase(raiz, m);
        const QString nombre = etiqueta(raiz, m);
        QString detalle = tipo;
        if (const auto total = capacidad(ruta))
            detalle += QStringLiteral(" · ") + tamanoLegible(*total) + QStringLiteral(" en total");
        r << std::make_shared<Origen>(QStringLiteral("unidad"), nombre.isEmpty() ? tipo : nombre,
                                      ruta, detalle);
    }
    return r;
}

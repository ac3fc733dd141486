#include "actualizador/desempaquetar.h"

#include "comun/ejecutar.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

namespace {

const QString kManifiesto = QStringLiteral("ZorvPlayer/.firma/manifiesto");
const QString kFirma = QStringLiteral("ZorvPlayer/.firma/manifiesto.sig");

// A manifest lists a few thousand lines; more is not a manifest.
constexpr qint64 kMaximoFirma = 4 << 20;

bool extraer(const QString& p, const QString& m, const QStringList& mas)
{
    // Only the names given, each exactly: no patterns, no descent into folders.
    const QStringList args = QStringList{QStringLiteral("-xzf"), p, QStringLiteral("-C"), m,
                                         QStringLiteral("--no-same-owner"),
                                         QStringLiteral("--no-wildcards"),
                                         QStringLiteral("--no-recursion")}
        + mas;
    return ejecutar(QStringLiteral("/usr/bin/tar"), args, 120.0).estado == 0;
}

QByteArray leerPequeno(const QString& ruta)
{
    const QFileInfo info(ruta);
    QFile f(ruta);
    if (info.isSymLink() || !info.isFile() || info.size() > kMaximoFirma
        || !f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

} // namespace

Desempaquetado desempaquetar(const QString& p, const QString& m, const QString& version, qint64 maximo)
{
    Desempaquetado r;
    const std::optional<QList<Miembro>> listado = listarPaquete(p);
    if (!listado)
        return r;
    int firmas = 0;
    qint64 total = 0;
    for (const Miembro& x : *listado) {
        if ((x.nombre == kManifiesto || x.nombre == kFirma) && x.tipo == '-' && x.tamano <= kMaximoFirma)
            ++firmas;
        if (x.tipo == '-')
            total += x.tamano;
    }
    r.estado = Desempaquetado::NoFirmado;
    if (firmas != 2)
        return r;
    r.estado = Desempaquetado::NoAbre;
    if (!extraer(p, m, {QStringLiteral("--"), kManifiesto, kFirma}))
        return r;
    r.estado = Desempaquetado::NoFirmado;
    const std::optional<Manifiesto> manifiesto = manifiestoFirmado(
        leerPequeno(m + QLatin1Char('/') + kManifiesto),
        QString::fromLatin1(leerPequeno(m + QLatin1Char('/') + kFirma)).trimmed(), version);
    if (!manifiesto || !listadoCoincide(*listado, *manifiesto))
        return r;
    r.estado = Desempaquetado::NoAbre;
    if (total > maximo || total > QStorageInfo(m).bytesAvailable())
        return r;
    // Every member is now known to be a folder, a signature file or named by the
    // manifest; they are passed by name, NUL-separated since a name may hold a newline.
    QByteArray nombres;
    for (const Miembro& x : *listado)
        nombres += QFile::encodeName(x.nombre) + '\0';
    const QString lista = m + QStringLiteral("/miembros");
    QFile f(lista);
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly) || f.write(nombres) != nombres.size())
        return r;
    f.close();
    const bool extraido = extraer(p, m, {QStringLiteral("--null"), QStringLiteral("--verbatim-files-from"),
                                         QStringLiteral("-T"), lista});
    QFile::remove(lista);
    if (!extraido)
        return r;
    r.estado = Desempaquetado::NoFirmado;
    if (!arbolCoincide(m + QStringLiteral("/ZorvPlayer"), *manifiesto))
        return r;
    r.estado = Desempaquetado::Abierto;
    r.manifiesto = *manifiesto;
    return r;
}

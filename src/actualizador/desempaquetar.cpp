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

// Whether both signature files are listed as small plain files.
bool conFirma(const QList<Miembro>& listado)
{
    int firmas = 0;
    for (const Miembro& x : listado)
        if ((x.nombre == kManifiesto || x.nombre == kFirma) && x.tipo == '-' && x.tamano <= kMaximoFirma)
            ++firmas;
    return firmas == 2;
}

// Whether the files listed fit in `tope` bytes, compared before each addition so that
// huge sizes cannot wrap the sum around.
bool cabe(const QList<Miembro>& listado, qint64 tope)
{
    qint64 total = 0;
    for (const Miembro& x : listado) {
        if (x.tipo != '-')
            continue;
        if (x.tamano > tope - total)
            return false;
        total += x.tamano;
    }
    return true;
}

// Every member by name, NUL-separated since a name may hold a newline.
bool extraerTodos(const QString& p, const QString& m, const QList<Miembro>& listado)
{
    QByteArray nombres;
    for (const Miembro& x : listado)
        nombres += QFile::encodeName(x.nombre) + '\0';
    const QString lista = m + QStringLiteral("/miembros");
    QFile f(lista);
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly) || f.write(nombres) != nombres.size())
        return false;
    f.close();
    const bool hecho = extraer(p, m, {QStringLiteral("--null"), QStringLiteral("--verbatim-files-from"),
                                      QStringLiteral("-T"), lista});
    QFile::remove(lista);
    return hecho;
}

} // namespace

Desempaquetado desempaquetar(const QString& p, const QString& m, const QString& version, qint64 maximo)
{
    const std::optional<QList<Miembro>> listado = listarPaquete(p);
    if (!listado)
        return {Desempaquetado::NoAbre, {}};
    if (!conFirma(*listado))
        return {Desempaquetado::NoFirmado, {}};
    if (!extraer(p, m, {QStringLiteral("--"), kManifiesto, kFirma}))
        return {Desempaquetado::NoAbre, {}};
    const std::optional<Manifiesto> manifiesto = manifiestoFirmado(
        leerPequeno(m + QLatin1Char('/') + kManifiesto),
        QString::fromLatin1(leerPequeno(m + QLatin1Char('/') + kFirma)).trimmed(), version);
    if (!manifiesto || !listadoCoincide(*listado, *manifiesto))
        return {Desempaquetado::NoFirmado, {}};
    // Now every member is known to be a folder, a signature file or named by the
    // signed manifest: only their size, and the room where they go, can stop them.
    const qint64 libre = QStorageInfo(m).bytesAvailable();
    if (!cabe(*listado, libre >= 0 ? qMin(maximo, libre) : maximo) || !extraerTodos(p, m, *listado))
        return {Desempaquetado::NoAbre, {}};
    if (!arbolCoincide(m + QStringLiteral("/ZorvPlayer"), *manifiesto))
        return {Desempaquetado::NoFirmado, {}};
    return {Desempaquetado::Abierto, *manifiesto};
}

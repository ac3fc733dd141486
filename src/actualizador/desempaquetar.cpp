#include "actualizador/desempaquetar.h"

#include "actualizador/arbol.h"
#include "comun/ejecutar.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kManifiesto = QStringLiteral("ZorvPlayer/.firma/manifiesto");
const QString kFirma = QStringLiteral("ZorvPlayer/.firma/manifiesto.sig");

// Only a regular file is copied: a fifo planted in its place would block the run.
bool copiarPaquete(const QString& origen, const QString& destino)
{
    const int fd = ::open(QFile::encodeName(origen).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    QFile entrada, salida(destino);
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)
        || !entrada.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    if (!salida.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    for (QByteArray bloque; !(bloque = entrada.read(1 << 20)).isEmpty();)
        if (salida.write(bloque) != bloque.size())
            return false;
    return entrada.error() == QFileDevice::NoError && salida.flush();
}

// Owners and modes stay those of this run: what the archive says of them is nobody's
// signed word (normalizarModos then fixes what the umask let through).
bool extraer(const QString& p, const QString& m, const QStringList& mas)
{
    const QStringList args = QStringList{QStringLiteral("-xzf"), p, QStringLiteral("-C"), m,
                                         QStringLiteral("--no-same-owner"),
                                         QStringLiteral("--no-same-permissions")}
        + mas;
    return ejecutar(QStringLiteral("/usr/bin/tar"), args, 120.0).estado == 0;
}

QByteArray leerPequeno(const QString& ruta)
{
    const QFileInfo info(ruta);
    QFile f(ruta);
    if (info.isSymLink() || !info.isFile() || info.size() > kMaximoManifiesto
        || !f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

// Whether both signature files are listed as small plain files.
bool conFirma(const QList<Miembro>& listado)
{
    int firmas = 0;
    for (const Miembro& x : listado)
        if ((x.nombre == kManifiesto || x.nombre == kFirma) && x.tipo == '-' && x.tamano <= kMaximoManifiesto)
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

} // namespace

Desempaquetado desempaquetar(const QString& origen, const QString& m, const QString& version,
                             qint64 maximo)
{
    // The copy in our private folder is the one listed and the one unpacked: whoever can
    // write where the prepared package lies cannot swap it in between.
    const QString p = m + QStringLiteral("/paquete.tar.gz");
    if (!copiarPaquete(origen, p))
        return {Desempaquetado::NoAbre, {}};
    const std::optional<QList<Miembro>> listado = listarPaquete(p);
    if (!listado)
        return {Desempaquetado::NoAbre, {}};
    if (!conFirma(*listado))
        return {Desempaquetado::NoFirmado, {}};
    // Exact names, and no further than the signature: a package puts it first.
    if (!extraer(p, m, {QStringLiteral("--no-wildcards"), QStringLiteral("--no-recursion"),
                        QStringLiteral("--occurrence"), QStringLiteral("--"), kManifiesto, kFirma}))
        return {Desempaquetado::NoAbre, {}};
    const std::optional<Manifiesto> manifiesto = manifiestoFirmado(
        leerPequeno(m + QLatin1Char('/') + kManifiesto),
        QString::fromLatin1(leerPequeno(m + QLatin1Char('/') + kFirma)).trimmed(), version);
    if (!manifiesto || !listadoCoincide(*listado, *manifiesto))
        return {Desempaquetado::NoFirmado, {}};
    // Now every member is known to be a folder holding a signed entry, a signature file
    // or named by the signed manifest: only their size, and the room where they go, can
    // stop them. The whole archive rather than a list of names: tar holds every member
    // against the whole list, a cost that grows with the square of the members.
    const qint64 libre = QStorageInfo(m).bytesAvailable();
    if (!cabe(*listado, libre >= 0 ? qMin(maximo, libre) : maximo) || !extraer(p, m, {}))
        return {Desempaquetado::NoAbre, {}};
    QFile::remove(p);
    const QString n = m + QStringLiteral("/ZorvPlayer");
    if (!normalizarModos(n))
        return {Desempaquetado::NoAbre, {}};
    if (!arbolCoincide(n, *manifiesto))
        return {Desempaquetado::NoFirmado, {}};
    return {Desempaquetado::Abierto, *manifiesto};
}

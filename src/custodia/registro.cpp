#include "custodia/registro.h"

#include "comun/sha256.h"
#include "custodia/equipo.h"

#include <QDateTime>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kBloque = 1 << 20;

// The register's last line (after the last line break, or before it when the register
// ends in one): its SHA-256, and whether a line break ends it.
struct Cola {
    QString sha256 = kCadenaInicial;
    bool terminada = true;
};

std::optional<Cola> colaDe(int fd, off_t tamano)
{
    Cola cola;
    if (tamano == 0)
        return cola;
    char ultimo = 0;
    if (::pread(fd, &ultimo, 1, tamano - 1) != 1)
        return std::nullopt;
    cola.terminada = ultimo == '\n';
    const off_t fin = cola.terminada ? tamano - 1 : tamano;
    QByteArray bloque(kBloque, Qt::Uninitialized);
    off_t inicio = 0;
    for (off_t hasta = fin; hasta > 0;) {
        const off_t n = std::min<off_t>(kBloque, hasta);
        if (::pread(fd, bloque.data(), size_t(n), hasta - n) != n)
            return std::nullopt;
        const qsizetype salto = QByteArrayView(bloque.constData(), n).lastIndexOf('\n');
        if (salto >= 0) {
            inicio = hasta - n + salto + 1;
            break;
        }
        hasta -= n;
    }
    Sha256 sha;
    for (off_t desde = inicio; desde < fin;) {
        const off_t n = std::min<off_t>(kBloque, fin - desde);
        if (::pread(fd, bloque.data(), size_t(n), desde) != n)
            return std::nullopt;
        sha.anadir(bloque.constData(), n);
        desde += n;
    }
    cola.sha256 = sha.hex();
    return cola;
}

bool aDisco(const QString& carpeta)
{
    Descriptor fd(::open(QFile::encodeName(carpeta).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd >= 0 && ::fsync(fd) == 0;
}

} // namespace

Descriptor::~Descriptor()
{
    if (fd >= 0)
        ::close(fd);
}

QString razonSistema(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool bloquearRegistro(int fd, int operacion, int esperaMs)
{
    for (int esperado = 0;; esperado += 50) {
        if (::flock(fd, operacion | LOCK_NB) == 0)
            return true;
        if ((errno != EWOULDBLOCK && errno != EINTR) || esperado >= esperaMs)
            return false;
        QThread::msleep(50);
    }
}

QString anadirEntrada(const QString& carpetaCaso, EntradaCustodia e)
{
    const QString ruta = carpetaCaso + QLatin1Char('/') + kNombreRegistro;
    Descriptor fd(::open(QFile::encodeName(ruta).constData(),
                         O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
    if (fd < 0)
        return razonSistema(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return QStringLiteral("no es un fichero normal");
    // Another window on the same case appends a line in milliseconds; a lock held for
    // long is a stuck program, and the download must not wait on it for ever.
    if (!bloquearRegistro(fd, LOCK_EX, 20000))
        return QStringLiteral("otro programa lo tiene ocupado");
    if (::fstat(fd, &st) != 0)
        return razonSistema(errno);
    const std::optional<Cola> cola = colaDe(fd, st.st_size);
    if (!cola)
        return QStringLiteral("no se pudo leer su última entrada: ") + razonSistema(errno);
    e.anterior = cola->sha256;
    e.anotada = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    e.version = versionPrograma();
    e.equipo = nombreEquipo();
    e.usuarioPC = usuarioEquipo();
    const QByteArray linea = (cola->terminada ? QByteArray() : QByteArray("\n")) + lineaDeEntrada(e) + '\n';
    ssize_t n;
    do
        n = ::write(fd, linea.constData(), size_t(linea.size()));
    while (n < 0 && errno == EINTR);
    const int error = n < 0 ? errno : ENOSPC;
    if (n != linea.size() || ::fsync(fd) != 0) {
        // Our own bytes, not yet counted: take them back rather than leave a torn line.
        const int motivo = n == linea.size() ? errno : error;
        if (::ftruncate(fd, st.st_size) == 0)
            ::fsync(fd);
        return razonSistema(motivo);
    }
    if (st.st_size == 0)
        aDisco(carpetaCaso);
    return QString();
}

bool leerLineas(int fd, const std::function<void(const LineaRegistro&)>& cadaLinea)
{
    QByteArray bloque(kBloque, Qt::Uninitialized);
    LineaRegistro linea;
    linea.numero = 1;
    Sha256 sha;
    bool pendiente = false;  // bytes of a line not yet handed on
    for (;;) {
        const ssize_t n = ::read(fd, bloque.data(), size_t(bloque.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        qsizetype desde = 0;
        while (desde < n) {
            const qsizetype salto = QByteArrayView(bloque.constData() + desde, n - desde).indexOf('\n');
            const qsizetype largo = salto < 0 ? n - desde : salto;
            sha.anadir(bloque.constData() + desde, largo);
            const qsizetype cabe = std::min(largo, kLineaMaxima - linea.texto.size());
            if (cabe > 0)
                linea.texto.append(bloque.constData() + desde, cabe);
            linea.larga = linea.larga || cabe < largo;
            pendiente = true;
            if (salto < 0)
                break;
            linea.sha256 = sha.hex();
            cadaLinea(linea);
            sha.reiniciar();
            linea = LineaRegistro{linea.numero + 1, {}, {}, false, true};
            pendiente = false;
            desde += largo + 1;
        }
    }
    if (pendiente) {
        linea.sha256 = sha.hex();
        linea.terminada = false;
        cadaLinea(linea);
    }
    return true;
}

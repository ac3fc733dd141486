#include "camaras/huella.h"

#include "comun/nombres.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int64_t kCabeza = 64 * 1024;
constexpr int kBloque = 1 << 20;
constexpr int64_t kVolcado = 8 << 20;

} // namespace

SeguidorHash::SeguidorHash(QString r)
    : ruta(std::move(r))
    , bloque(kBloque, Qt::Uninitialized)
{
    hilo = std::thread([this] { bucle(); });
}

SeguidorHash::~SeguidorHash()
{
    {
        std::lock_guard<std::mutex> l(m);
        fin = true;
    }
    cv.notify_one();
    if (hilo.joinable())
        hilo.join();
    cerrar();
}

void SeguidorHash::bucle()
{
    std::unique_lock<std::mutex> l(m);
    while (!fin) {
        cv.wait_for(l, std::chrono::milliseconds(50), [this] { return fin; });
        if (fin)
            break;
        l.unlock();
        leerNuevo();
        l.lock();
    }
}

void SeguidorHash::cerrar()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool SeguidorHash::abrir()
{
    const QByteArray nombre = QFile::encodeName(ruta);
    fd = ::open(nombre.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        cerrar();
        return false;
    }
    dispositivo = st.st_dev;
    inodo = st.st_ino;
    return true;
}

void SeguidorHash::empezarDeNuevo()
{
    if (leido > 0)
        repasado = true;
    cerrar();
    sha.reiniciar();
    leido = 0;
    volcado = 0;
    cabeza.clear();
}

bool SeguidorHash::leerNuevo()
{
    // The writer may have put a new file at the path (removed and made again).
    struct stat enRuta {};
    const QByteArray nombre = QFile::encodeName(ruta);
    if (fd >= 0 && (::stat(nombre.constData(), &enRuta) != 0 || enRuta.st_ino != inodo
                    || enRuta.st_dev != dispositivo))
        empezarDeNuevo();
    if (fd < 0 && !abrir())
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    if (st.st_size < leido) { // truncated under us
        empezarDeNuevo();
        if (!abrir())
            return false;
    }
    const int64_t inicio = leido;
    for (;;) {
        const ssize_t n = ::pread(fd, bloque.data(), size_t(bloque.size()), off_t(leido));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        sha.anadir(bloque.constData(), n);
        if (cabeza.size() < kCabeza)
            cabeza.append(bloque.constData(), qsizetype(std::min<int64_t>(n, kCabeza - cabeza.size())));
        leido += n;
    }
    hechos = leido;
    if (leido - volcado >= kVolcado || (leido > volcado && leido == inicio)) {
        ::sync_file_range(fd, off_t(volcado), off_t(leido - volcado), SYNC_FILE_RANGE_WRITE);
        volcado = leido;
    }
    return true;
}

bool SeguidorHash::cabezaIntacta()
{
    QByteArray ahora(cabeza.size(), Qt::Uninitialized);
    int64_t hecho = 0;
    while (hecho < ahora.size()) {
        const ssize_t n = ::pread(fd, ahora.data() + hecho, size_t(ahora.size() - hecho), off_t(hecho));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        hecho += n;
    }
    return ahora == cabeza;
}

std::optional<Huella> SeguidorHash::terminar()
{
    {
        std::lock_guard<std::mutex> l(m);
        fin = true;
    }
    cv.notify_one();
    if (hilo.joinable())
        hilo.join();
    if (!leerNuevo())
        return std::nullopt;
    struct stat st {};
    if (!cabezaIntacta() || ::fstat(fd, &st) != 0 || st.st_size != leido) {
        empezarDeNuevo();
        if (!leerNuevo())
            return std::nullopt;
    }
    Huella h{sha.hex(), leido, repasado};
    cerrar();
    return h;
}

Huella copiarConHuella(const QString& origen, const QString& destino, const Progreso& progreso)
{
    // By the bytes the drive names it with: a name that is not UTF-8 is as real as any.
    QFile entrada;
    const int fd = ::open(bytesDeTexto(origen).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !entrada.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        const QString motivo = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        throw ErrorCamara(QStringLiteral("no se pudo abrir %1: %2").arg(origen, motivo));
    }
    QFile salida(destino);
    if (!salida.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw ErrorCamara(QStringLiteral("no se pudo crear %1: %2").arg(destino, salida.errorString()));
    const int64_t total = entrada.size();
    Sha256 sha;
    QByteArray bloque(kBloque, Qt::Uninitialized);
    int64_t copiado = 0;
    for (;;) {
        const qint64 n = entrada.read(bloque.data(), bloque.size());
        if (n < 0)
            throw ErrorCamara(QStringLiteral("no se pudo leer %1: %2").arg(origen, entrada.errorString()));
        if (n == 0)
            break;
        if (salida.write(bloque.constData(), n) != n)
            throw ErrorCamara(QStringLiteral("no se pudo escribir %1: %2").arg(destino, salida.errorString()));
        sha.anadir(bloque.constData(), n);
        copiado += n;
        if (progreso && total > 0)
            progreso(int(copiado * 100 / total));
    }
    if (!salida.flush())
        throw ErrorCamara(QStringLiteral("no se pudo escribir %1: %2").arg(destino, salida.errorString()));
    struct stat st {};
    if (::fstat(entrada.handle(), &st) == 0)
        salida.setFileTime(QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000),
                           QFileDevice::FileModificationTime);
    return Huella{sha.hex(), copiado, false};
}

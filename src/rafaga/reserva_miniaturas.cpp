#include "rafaga/reserva_miniaturas.h"

#include <cstring>
#include <sys/mman.h>

namespace {

struct Devolucion {
    std::shared_ptr<ReservaMiniaturas> reserva;
    int hueco;
};

qsizetype lineaRGB888(int ancho)
{
    return (qsizetype(ancho) * 3 + 3) / 4 * 4;
}

} // namespace

qint64 ReservaMiniaturas::bytesHueco(const QSize& caja)
{
    return std::max<qint64>(1, lineaRGB888(caja.width()) * caja.height());
}

std::shared_ptr<ReservaMiniaturas> ReservaMiniaturas::crear(qint64 bytes, const QSize& caja)
{
    return std::shared_ptr<ReservaMiniaturas>(new ReservaMiniaturas(int(bytes / bytesHueco(caja)), caja));
}

ReservaMiniaturas::ReservaMiniaturas(int huecos, const QSize& caja)
    : caja_(caja)
    , bytesLinea_(lineaRGB888(caja.width()))
    , bytesHueco_(bytesLinea_ * caja.height())
{
    if (huecos <= 0 || bytesHueco_ <= 0)
        return;
    tamBloque_ = size_t(huecos) * size_t(bytesHueco_);
    void* p = mmap(nullptr, tamBloque_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        tamBloque_ = 0;
        return;
    }
    bloque_ = static_cast<uchar*>(p);
    libres_.reserve(size_t(huecos));
    for (int i = huecos - 1; i >= 0; --i)
        libres_.push_back(i);
}

ReservaMiniaturas::~ReservaMiniaturas()
{
    if (bloque_)
        munmap(bloque_, tamBloque_);
}

int ReservaMiniaturas::libres() const
{
    QMutexLocker cerrojo(&mutex_);
    return int(libres_.size());
}

QImage ReservaMiniaturas::guardar(const QImage& imagen)
{
    const QImage fuente = imagen.convertToFormat(QImage::Format_RGB888);
    if (fuente.isNull() || fuente.width() > caja_.width() || fuente.height() > caja_.height())
        return fuente.copy();
    int hueco;
    {
        QMutexLocker cerrojo(&mutex_);
        if (libres_.empty())
            return fuente.copy();
        hueco = libres_.back();
        libres_.pop_back();
    }
    uchar* datos = bloque_ + qsizetype(hueco) * bytesHueco_;
    const qsizetype fila = lineaRGB888(fuente.width());
    for (int y = 0; y < fuente.height(); ++y)
        std::memcpy(datos + y * bytesLinea_, fuente.constScanLine(y), size_t(fila));
    QImage copia(datos, fuente.width(), fuente.height(), bytesLinea_, QImage::Format_RGB888,
                 &ReservaMiniaturas::devolver, new Devolucion{shared_from_this(), hueco});
    copia.setDevicePixelRatio(fuente.devicePixelRatio());
    return copia;
}

void ReservaMiniaturas::devolver(void* info)
{
    std::unique_ptr<Devolucion> d(static_cast<Devolucion*>(info));
    QMutexLocker cerrojo(&d->reserva->mutex_);
    d->reserva->libres_.push_back(d->hueco);
}

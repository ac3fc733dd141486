// A raw recording of a VStarcam camera's block container, read through windows of a few
// bytes so blocks cross the window's edges, into an output that may fill up. The first
// three bytes pick the window, where reading starts and how much the output takes; the
// walk must copy exactly what a plain reading of the blocks copies.
#include "apoyo.h"
#include "grabadores/hxvt.h"

#include <QBuffer>

#include <cstring>

namespace {

// The blocks read plainly from `inicio`, all in memory: the video payloads and their count.
std::pair<QByteArray, int64_t> bloquesDeVideo(const QByteArray& d, qint64 inicio)
{
    QByteArray video;
    int64_t bloques = 0;
    qint64 pos = inicio;
    while (pos + 8 <= d.size()) {
        const char* h = d.constData() + pos;
        if (std::memcmp(h, "HXVT", 4) == 0) {
            pos += 16;
            continue;
        }
        if (h[0] != 'H' || h[1] != 'X')
            break;
        const auto* b = reinterpret_cast<const unsigned char*>(h + 4);
        const qint64 largo = qint64(b[0]) | qint64(b[1]) << 8 | qint64(b[2]) << 16 | qint64(b[3]) << 24;
        const bool vf = std::memcmp(h, "HXVF", 4) == 0;
        if (vf || std::memcmp(h, "HXAF", 4) == 0) {
            if (largo == 0 || pos + 16 + largo > d.size())
                break;
            if (vf) {
                video += d.mid(pos + 16, largo);
                ++bloques;
            }
        }
        pos += 16 + largo;
    }
    return {video, bloques};
}

// A file being read, that counts what is read from it.
class Entrada : public QBuffer {
public:
    qint64 leidos = 0;

protected:
    qint64 readData(char* datos, qint64 maximo) override
    {
        const qint64 n = QBuffer::readData(datos, maximo);
        if (n > 0)
            leidos += n;
        return n;
    }
};

// An output that takes `capacidad` bytes, then refuses: a full disk.
class Salida : public QIODevice {
public:
    explicit Salida(qint64 capacidad) : capacidad(capacidad) { open(QIODevice::WriteOnly); }
    QByteArray escrito;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* datos, qint64 n) override
    {
        const qint64 cabe = std::min(n, capacidad - qint64(escrito.size()));
        if (cabe <= 0)
            return -1;
        escrito.append(datos, cabe);
        return cabe;
    }

private:
    qint64 capacidad;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    if (largo < 3)
        return 0;
    const qint64 ventana = 16 + datos[0] % 48;
    const QByteArray contenido = bytesDe(datos + 3, largo - 3);
    const qint64 inicio = std::min<qint64>(datos[1] % 8, contenido.size());
    const qint64 capacidad = datos[2] < 128 ? std::numeric_limits<qint64>::max() : (datos[2] - 128) * 8;

    Entrada entrada;
    entrada.setData(contenido);
    entrada.open(QIODevice::ReadOnly);
    entrada.seek(inicio);
    Salida salida(capacidad);
    const int64_t bloques = desHXVT(entrada, salida, ventana);

    const auto [video, esperados] = bloquesDeVideo(contenido, inicio);
    // What fits is copied whole; on a full output the walk fails, having written only a
    // beginning of the same bytes.
    if (video.size() <= capacidad) {
        EXIGIR(bloques == esperados);
        EXIGIR(salida.escrito == video);
    } else {
        EXIGIR(bloques == -1);
        EXIGIR(video.startsWith(salida.escrito));
    }
    // Nothing before the start is read, nothing twice, and no more is written than read.
    EXIGIR(entrada.leidos <= contenido.size() - inicio);
    EXIGIR(salida.escrito.size() <= contenido.size() - inicio - 16 * std::max<int64_t>(bloques, 0));
    return 0;
}

#include "grabadores/hxvt.h"

#include <QBuffer>
#include <QSaveFile>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr qint64 CABECERA = 16;

uint32_t leU32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

// A window of `entrada` read in large pieces: headers are looked at in place and payloads
// are written straight out of it, so the data is copied once between the two devices.
class Lector {
public:
    Lector(QIODevice& d, qint64 trozo) : d(d), trozo(std::max(trozo, CABECERA)), buf(size_t(this->trozo)) {
        fin = d.size();
        pos = d.pos();
    }

    qint64 posicion() const { return pos; }
    qint64 tamano() const { return fin; }

    // At least n bytes at the position in the window (n ≤ trozo); false on a read failure.
    bool asegurar(qint64 n) {
        if (hasta - desde >= n) return true;
        std::memmove(buf.data(), buf.data() + desde, size_t(hasta - desde));
        hasta -= desde;
        desde = 0;
        while (hasta < n) {
            const qint64 r = d.read(buf.data() + hasta, trozo - hasta);
            if (r <= 0) return false;
            hasta += r;
        }
        return true;
    }
    const char* aqui() const { return buf.data() + desde; }

    // Moves on n bytes, copying them to `salida` when given.
    bool avanzar(qint64 n, QIODevice* salida) {
        while (n > 0) {
            if (desde == hasta) {
                if (!salida && !d.isSequential()) return saltar(n);
                if (!asegurar(1)) return false;
            }
            const qint64 k = std::min(n, hasta - desde);
            if (salida && salida->write(buf.data() + desde, k) != k) return false;
            desde += k;
            pos += k;
            n -= k;
        }
        return true;
    }

private:
    bool saltar(qint64 n) {
        pos += n;
        return d.seek(pos);
    }

    QIODevice& d;
    const qint64 trozo;
    std::vector<char> buf;
    qint64 desde = 0, hasta = 0;  // the unread part of the window
    qint64 pos = 0, fin = 0;
};

}  // namespace

int64_t desHXVT(QIODevice& entrada, QIODevice& salida, qint64 ventana) {
    Lector l(entrada, ventana);
    int64_t bloques = 0;
    while (l.posicion() + 8 <= l.tamano()) {
        const qint64 resto = l.tamano() - l.posicion();
        if (!l.asegurar(std::min(CABECERA, resto))) return -1;
        const char* h = l.aqui();
        if (std::memcmp(h, "HXVT", 4) == 0) {
            if (resto <= CABECERA) break;
            if (!l.avanzar(CABECERA, nullptr)) return -1;
            continue;
        }
        if (h[0] != 'H' || h[1] != 'X') break;
        const qint64 largo = leU32(h + 4);
        const bool video = std::memcmp(h, "HXVF", 4) == 0;
        const bool audio = std::memcmp(h, "HXAF", 4) == 0;
        if ((video || audio) && (largo == 0 || CABECERA + largo > resto)) break;
        // Another kind of block is skipped by its length, wherever that ends.
        if (!video && !audio && CABECERA + largo >= resto) break;
        if (!l.avanzar(CABECERA, nullptr) || !l.avanzar(largo, video ? &salida : nullptr))
            return -1;
        if (video) ++bloques;
    }
    return bloques;
}

int64_t desHXVT(const QByteArray& datos, const QString& destino) {
    QBuffer entrada;
    entrada.setData(datos);
    entrada.open(QIODevice::ReadOnly);
    QSaveFile salida(destino);
    if (!salida.open(QIODevice::WriteOnly)) return -1;
    const int64_t bloques = desHXVT(entrada, salida);
    if (bloques < 0 || !salida.commit()) return -1;
    return bloques;
}

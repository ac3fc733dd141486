// The header lines of a device's reply, one per line of the input, as the transfer hands
// them over. The status of a status line is the first three digits in it, as the transfer
// would have read them.
#include "apoyo.h"
#include "grabadores/autenticacion.h"
#include "grabadores/http.h"

namespace {

int estadoDe(const QByteArray& linea)
{
    int estado = 0, cifras = 0;
    for (const char c : linea) {
        if (c >= '0' && c <= '9') {
            estado = estado * 10 + (c - '0');
            if (++cifras == 3)
                break;
        } else if (cifras > 0) {
            break;
        }
    }
    return estado;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    Http h;
    h.datos = "cuerpo de una respuesta anterior";
    LecturaCabeceras l;
    const QList<QByteArray> lineas = bytesDe(datos, largo).split('\n');
    QList<int> estados{0};
    for (const QByteArray& linea : lineas) {
        const bool estado = l.esperaEstado;
        leerCabecera(h, l, linea + "\r\n", estadoDe(linea));
        if (estado && !l.provisional)
            estados << estadoDe(linea);
        // The status is the last final one read; a new response forgets the one before.
        EXIGIR(h.estado == estados.last());
        EXIGIR(!estado || l.provisional || (h.datos.isEmpty() && h.cabeceras.isEmpty()));
        EXIGIR(h.esperado >= -1);
        EXIGIR(!(l.esperaEstado && l.completas));
    }
    // A length that was read is one the reply gave.
    bool dado = h.esperado < 0;
    for (auto it = h.cabeceras.cbegin(); it != h.cabeceras.cend(); ++it) {
        EXIGIR(!it.key().isEmpty() && it.key() == it.key().trimmed());
        if (it.key().compare(QLatin1String("content-length"), Qt::CaseInsensitive) == 0)
            dado = dado || it.value().contains(QString::number(h.esperado));
    }
    EXIGIR(dado);
    EXIGIR(l.retos.size() <= lineas.size());
    leerRetos(l.retos);
    return 0;
}

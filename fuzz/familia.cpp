// A device identifying itself: the header lines of its reply (status, challenge), then
// the body of each identification page.
#include "apoyo.h"
#include "grabadores/http.h"
#include "grabadores/identificar.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const QByteArray todo = bytesDe(datos, largo);
    const qsizetype fin = todo.indexOf("\r\n\r\n");
    const QByteArray cabeceras = fin < 0 ? todo : todo.left(fin);
    const QByteArray cuerpo = fin < 0 ? QByteArray() : todo.mid(fin + 4);

    Http h(QStringLiteral("admin"), QStringLiteral("clave"));
    for (const QByteArray& linea : cabeceras.split('\n'))
        leerLineaCabecera(h, linea + '\n');
    const QString reto = h.cabecera(QStringLiteral("WWW-Authenticate")).value_or(QString());
    for (const QString& candidato : {QStringLiteral("hikvision"), QStringLiteral("dahua")}) {
        const QString visto = familiaPorRespuesta(candidato, h.estado, reto);
        EXIGIR(visto.isEmpty() || visto == candidato || visto == QStringLiteral("cámara"));
    }
    h.datos = cuerpo;
    for (const QString& pagina : PAGINAS_IDENTIFICACION) {
        const auto leido = leerIdentificacion(pagina, h.texto());
        EXIGIR(!leido || !leido->first.isEmpty());
    }
    return 0;
}

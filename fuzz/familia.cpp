// A device identifying itself: the status and challenge of a reply without credentials
// (first line: the status, second: the "WWW-Authenticate" value), then the body of each
// identification page (the rest).
#include "apoyo.h"
#include "grabadores/identificar.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const QList<QByteArray> partes = bytesDe(datos, largo).split('\n');
    const int estado = partes.value(0).toInt();
    const QString reto = QString::fromLatin1(partes.value(1));
    const QString cuerpo = QString::fromUtf8(partes.mid(2).join('\n'));
    for (const QString& candidato : {QStringLiteral("hikvision"), QStringLiteral("dahua")}) {
        const QString visto = familiaPorRespuesta(candidato, estado, reto);
        EXIGIR(visto.isEmpty() || visto == candidato || visto == QStringLiteral("cámara"));
    }
    for (const QString& pagina : PAGINAS_IDENTIFICACION) {
        const auto leido = leerIdentificacion(pagina, cuerpo);
        EXIGIR(!leido || !leido->first.isEmpty());
    }
    return 0;
}

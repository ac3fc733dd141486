// The authentication challenges of a device (the "WWW-Authenticate" values, one per
// line) and the answer we build from them.
#include "apoyo.h"
#include "grabadores/autenticacion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const QStringList cabeceras = textoDe(datos, largo).split(QLatin1Char('\n'));
    const QList<Reto> retos = leerRetos(cabeceras);
    for (const Reto& r : retos)
        EXIGIR(!r.esquema.isEmpty() && r.esquema == r.esquema.toLower());
    Autenticador a(QStringLiteral("admin"), QStringLiteral("clave"));
    const std::optional<QByteArray> respuesta =
        a.responder(retos, "GET", "/ISAPI/ContentMgmt/search", "<cuerpo/>");
    // What a device put in its challenge goes back in a header of ours: nothing in it
    // may start a header line of its own.
    if (respuesta) {
        for (const char c : *respuesta)
            EXIGIR(static_cast<unsigned char>(c) >= 32 && c != 127);
    }
    return 0;
}

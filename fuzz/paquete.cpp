// The listing tar prints of an update package: every member name comes from the archive.
#include "apoyo.h"
#include "actualizador/paquete.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const auto miembros = leerListado(textoDe(datos, largo));
    if (!miembros)
        return 0;
    // A listing passed as safe names nothing outside the top folder.
    EXIGIR(!miembros->isEmpty());
    for (const Miembro& m : *miembros) {
        const QStringList partes = m.nombre.split(QLatin1Char('/'));
        EXIGIR(partes.first() == QLatin1String("ZorvPlayer"));
        EXIGIR(!partes.contains(QLatin1String("..")) && !partes.contains(QString()));
        EXIGIR(m.tipo != 'l' || !m.destino.startsWith(QLatin1Char('/')));
    }
    return 0;
}

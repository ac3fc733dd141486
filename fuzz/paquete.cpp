// The listing tar prints of an update package: every member name comes from the archive.
#include "apoyo.h"
#include "actualizador/paquete.h"

#include <QHash>

namespace {

// Where a link of an accepted listing lands, worked out plainly, apart from the reader:
// false when it climbs above the top folder or reaches an absolute link. Chains longer
// than the kernel follows are left to the reader.
bool quedaDentro(const Miembro& enlace, const QHash<QString, QString>& enlaces)
{
    QStringList pila = enlace.nombre.split(QLatin1Char('/'));
    pila.removeLast();
    QStringList quedan = enlace.destino.split(QLatin1Char('/'));
    for (int saltos = 0; !quedan.isEmpty();) {
        const QString parte = quedan.takeFirst();
        if (parte == QLatin1String("..")) {
            if (pila.size() == 1)
                return false;
            pila.removeLast();
        } else if (!parte.isEmpty() && parte != QLatin1String(".")) {
            pila << parte;
            const QString destino = enlaces.value(pila.join(QLatin1Char('/')));
            if (destino.isEmpty())
                continue;
            if (destino.startsWith(QLatin1Char('/')))
                return false;
            if (++saltos > 40)
                return true;
            pila.removeLast();
            quedan = destino.split(QLatin1Char('/')) + quedan;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const auto miembros = leerListado(textoDe(datos, largo));
    if (!miembros)
        return 0;
    // A listing passed as safe names nothing outside the top folder, and none of its
    // links leads out of it.
    EXIGIR(!miembros->isEmpty());
    QHash<QString, QString> enlaces;
    for (const Miembro& m : *miembros) {
        const QStringList partes = m.nombre.split(QLatin1Char('/'));
        EXIGIR(partes.first() == QLatin1String("ZorvPlayer"));
        EXIGIR(!partes.contains(QLatin1String("..")) && !partes.contains(QString()));
        EXIGIR(m.tipo != 'l' || !m.destino.startsWith(QLatin1Char('/')));
        if (m.tipo == 'l')
            enlaces.insert(m.nombre, m.destino);
    }
    for (const Miembro& m : *miembros)
        EXIGIR(m.tipo != 'l' || quedaDentro(m, enlaces));
    return 0;
}

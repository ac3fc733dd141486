// The kernel's mount table as the drives reader takes it, then the names of the entries of
// /dev/disk/by-label, which a drive's own label chooses (after a NUL, one per line).
#include "apoyo.h"
#include "grabadores/unidades.h"

#include <QSet>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const QByteArray entrada = bytesDe(datos, largo);
    const qsizetype corte = entrada.indexOf('\0');
    const QList<Montaje> montajes = leerMontajes(entrada.left(corte < 0 ? entrada.size() : corte));
    QSet<QString> puntos;
    for (const Montaje& m : montajes) {
        // Never the system's own disk; only where drives and shares get mounted.
        EXIGIR(m.punto != QLatin1String("/"));
        const bool red = m.sistema == QLatin1String("nfs") || m.sistema == QLatin1String("nfs4")
            || m.sistema == QLatin1String("cifs") || m.sistema == QLatin1String("smb3")
            || m.sistema == QLatin1String("fuse.sshfs") || m.sistema == QLatin1String("davfs");
        EXIGIR(red || m.punto == QLatin1String("/mnt") || m.punto.startsWith(QLatin1String("/mnt/"))
               || m.punto.startsWith(QLatin1String("/media/"))
               || m.punto.startsWith(QLatin1String("/run/media/")));
        EXIGIR(!puntos.contains(m.punto));
        puntos.insert(m.punto);
    }
    if (corte < 0)
        return 0;
    for (const QByteArray& enlace : entrada.mid(corte + 1).split('\n')) {
        const QString texto = QString::fromUtf8(enlace);
        const QString etiqueta = etiquetaDeEnlace(texto);
        EXIGIR(etiqueta.size() <= texto.size());
        // A label is shown on one line of the window.
        for (const QChar c : etiqueta) {
            const char16_t u = c.unicode();
            EXIGIR(u >= 0x20 && !(u >= 0x7f && u <= 0x9f) && u != 0x2028 && u != 0x2029);
        }
    }
    return 0;
}

// The signed manifest inside an update package, then held against the package listing:
// the input is the manifest, a NUL byte, and the listing tar printed.
#include "apoyo.h"
#include "actualizador/manifiesto.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const QByteArray todo = bytesDe(datos, largo);
    const qsizetype corte = todo.indexOf('\0');
    const auto m = leerManifiesto(corte < 0 ? todo : todo.left(corte));
    if (!m)
        return 0;
    for (auto it = m->entradas.begin(); it != m->entradas.end(); ++it) {
        const QStringList partes = it.key().split(QLatin1Char('/'));
        EXIGIR(!it.key().startsWith(QLatin1Char('/')) && !partes.contains(QLatin1String(".."))
               && partes.first() != QLatin1String(".firma"));
        EXIGIR(it->digesto.size() == 64);
    }
    if (corte >= 0) {
        if (const auto listado = leerListado(QString::fromUtf8(todo.mid(corte + 1))))
            listadoCoincide(*listado, *m);
    }
    return 0;
}

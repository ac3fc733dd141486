// The signed manifest inside an update package, then held against the package listing:
// the input is the manifest, a NUL byte, and the listing tar printed.
#include "apoyo.h"
#include "actualizador/manifiesto.h"

namespace {

// The listing against the manifest, written plainly apart from the reader: every member
// but the two signature files is a folder holding an entry (or the top one, or
// ".firma") or an entry of the same kind and target, and every entry is listed.
bool coincideLlano(const QList<Miembro>& listado, const Manifiesto& m)
{
    qsizetype vistos = 0;
    for (const Miembro& x : listado) {
        const QString rel = x.nombre.mid(QStringLiteral("ZorvPlayer/").size());
        if (x.tipo == 'd') {
            bool guarda = rel.isEmpty() || rel == QLatin1String(".firma");
            for (auto it = m.entradas.keyBegin(); !guarda && it != m.entradas.keyEnd(); ++it)
                guarda = it->startsWith(rel + QLatin1Char('/'));
            if (!guarda)
                return false;
        } else if (x.tipo != '-'
                   || (rel != QLatin1String(".firma/manifiesto") && rel != QLatin1String(".firma/manifiesto.sig"))) {
            if (!m.entradas.contains(rel) || m.entradas[rel].enlace != (x.tipo == 'l')
                || (x.tipo == 'l' && m.entradas[rel].destino != x.destino))
                return false;
            ++vistos;
        }
    }
    return vistos == m.entradas.size();
}

} // namespace

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
            EXIGIR(listadoCoincide(*listado, *m) == coincideLlano(*listado, *m));
    }
    return 0;
}

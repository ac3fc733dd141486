#include "camaras/huella_intentos.h"

#include <QFile>

namespace {

bool mismoFichero(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size
        && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec
        && a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

} // namespace

HuellaPorIntentos::HuellaPorIntentos(QString r)
    : ruta(std::move(r))
{
}

std::optional<struct stat> HuellaPorIntentos::marca() const
{
    struct stat st {};
    if (::stat(QFile::encodeName(ruta).constData(), &st) != 0)
        return std::nullopt;
    return st;
}

void HuellaPorIntentos::empiezaIntento()
{
    if (seguidor) {
        const std::optional<struct stat> ahora = marca();
        if (alAcabar && ahora && mismoFichero(*alAcabar, *ahora))
            return;
        ++deNuevo;
    }
    // A new reader starts from the first byte, and what earlier tries did no longer matters.
    reescrito = false;
    seguidor.emplace(ruta);
}

void HuellaPorIntentos::acabaIntento(const Reanudacion& r)
{
    // A try that found bytes and did not take up after them wrote over them, perhaps
    // faster than the reader looks for a truncation.
    if (r.desde > 0 && r.reanudadaEn < 0)
        reescrito = true;
    alAcabar = marca();
}

std::optional<Huella> HuellaPorIntentos::terminar(const QString& guardado)
{
    if (!seguidor || reescrito || guardado != ruta) {
        seguidor.reset();
        return SeguidorHash(guardado).terminar();
    }
    return seguidor->terminar();
}

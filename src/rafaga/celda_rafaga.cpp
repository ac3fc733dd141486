#include "rafaga/celda_rafaga.h"

#include "rafaga/rejilla.h"

CeldaRafaga::CeldaRafaga(int n, const QString& r, const QString& t)
    : numero(n)
    , ruta(r)
    , texto(t)
{
}

void CeldaRafaga::setMarcada(bool si)
{
    marcada_ = si;
    pintar();
}

void CeldaRafaga::pintar()
{
    if (rejilla_)
        rejilla_->repintar(*this);
}

void CeldaRafaga::pulsar(int clics)
{
    if (clics > 1) {
        if (alAbrir)
            alAbrir(numero);
        return;
    }
    marcada_ = !marcada_;
    pintar();
    if (alCambiar)
        alCambiar();
}

#include "camaras/nodo.h"

NodoPtr Nodo::carpeta(const OrigenPtr& origen,
                      const std::function<bool(const QString&)>& tieneSubcarpetas)
{
    auto n = std::make_shared<Nodo>(origen->nombre, origen);
    n->cargado = !(tieneSubcarpetas && tieneSubcarpetas(origen->ruta));
    return n;
}

#include "grabadores/listado.h"

bool pasoListado(Listado& l, const QString& donde, const std::function<void()>& paso) {
    try {
        paso();
        return true;
    } catch (const ErrorCamara& e) {
        if (l.ficheros.isEmpty()) throw;
        l.cortes << QStringLiteral("se detuvo en ") + donde + QStringLiteral(": ") + e.description;
        return false;
    }
}

#include "rafaga/modo_rafaga.h"

#include "comun/salida.h"
#include "rafaga/controlador_rafaga.h"

#include <QLoggingCategory>

void modoRafaga(const QString& carpeta, double seg, double base)
{
    // A damaged capture shows as an empty cell; the decoder's complaints about it would
    // only bury the player's one diagnostic line.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    ControladorRafaga c(carpeta, seg, base);
    c.ventana->mostrarModal();
    const QString numeros = c.elegidas();
    if (c.resultado != 0 || numeros.isEmpty())
        salir(1);
    salir(0, numeros);
}

#include "rafaga/modo_rafaga.h"

#include "comun/salida.h"
#include "rafaga/controlador_rafaga.h"

void modoRafaga(const QString& carpeta, double seg, double base)
{
    ControladorRafaga c(carpeta, seg, base);
    c.ventana->mostrarModal();
    const QString numeros = c.elegidas();
    if (c.resultado != 0 || numeros.isEmpty())
        salir(1);
    salir(0, numeros);
}

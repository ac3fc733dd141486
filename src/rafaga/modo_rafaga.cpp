#include "rafaga/modo_rafaga.h"

#include "comun/salida.h"
#include "rafaga/controlador_rafaga.h"

void modoRafaga(const QString& carpeta, double seg, double base)
{
    QString numeros;
    int resultado = 1;
    {
        ControladorRafaga c(carpeta, seg, base);
        c.ventana->mostrarModal();
        numeros = c.elegidas();
        resultado = c.resultado;
        // The thumbnail workers end with the controller, before the exit's leak check:
        // stopping threads that are still decoding is what made that check crash.
    }
    if (resultado != 0 || numeros.isEmpty())
        salir(1);
    salir(0, numeros);
}

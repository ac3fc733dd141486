// zorv-ventanas: one job per run, chosen by the mode word. Each entry function ends
// the process itself through salir(); nothing returns here.
#include "actualizador/actualizador.h"
#include "analisis/caras.h"
#include "analisis/seguir.h"
#include "camaras/ventana_camaras.h"
#include "comun/nombres.h"
#include "comun/salida.h"
#include "custodia/verificar.h"
#include "dialogos/fondo_imagen.h"
#include "dialogos/ventana_abrir.h"
#include "dialogos/ventana_ajustes.h"

#include <QStringList>

namespace {

struct Modo {
    const char* palabra;
    void (*entrada)(const QStringList&);
};

// Compared in this order, exact and case-sensitive.
constexpr Modo kModos[] = {
    {"ajustes", ventanaAjustes},
    {"actualizador", actualizador},
    {"abrir", ventanaAbrir},
    {"caras", detectarCaras},
    {"fondo", pintarFondo},
    {"seguir", seguirZona},
    {"camaras", ventanaCamaras},
    {"verificar", verificarCaso},
};

} // namespace

int main(int argc, char** argv)
{
    // The toolkit gets the program name only (see comun/salida.h).
    if (argc > 0 && argv[0]) {
        argcProceso = 1;
        argvProceso = argv;
    }
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << textoDeBytes(argv[i]);
    if (!args.isEmpty())
        script = args.takeFirst();
    argumentos = args;

    for (const Modo& modo : kModos)
        if (script == QLatin1String(modo.palabra))
            modo.entrada(argumentos);

    aviso(QStringLiteral("uso: zorv-ventanas ajustes|camaras|actualizador|abrir …"));
    salir(64);
}

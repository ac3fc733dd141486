#include "dialogos/ventana_ajustes.h"

#include "comun/salida.h"
#include "comun/texto.h"
#include "dialogos/controlador_ajustes.h"
#include "dialogos/modo_anonimizar.h"
#include "dialogos/modo_aviso.h"
#include "dialogos/modo_caso.h"
#include "dialogos/modo_menu.h"
#include "dialogos/modo_nota.h"
#include "dialogos/modo_nueva.h"
#include "dialogos/modo_recorte.h"
#include "estilo/aplicacion.h"
#include "rafaga/modo_rafaga.h"

void ventanaAjustes(const QStringList& args)
{
    const QString sub = args.isEmpty() ? QStringLiteral("ajustes") : args.first();
    const QString a1 = args.value(1), a2 = args.value(2);
    prepararApp();
    if (sub == QStringLiteral("nueva"))
        modoNueva(a1, a2);
    if (sub == QStringLiteral("aviso"))
        modoAviso(a1, a2);
    if (sub == QStringLiteral("caso"))
        modoCaso(a1, a2);
    if (sub == QStringLiteral("rafaga"))
        modoRafaga(a1, numeroDecimal(a2).value_or(2.0), numeroDecimal(args.value(3)).value_or(0.0));
    if (sub == QStringLiteral("menu"))
        modoMenu(numeroDecimal(a1).value_or(2.0));
    if (sub == QStringLiteral("recorte"))
        modoRecorte(a1);
    if (sub == QStringLiteral("nota"))
        modoNota(a1, a2);
    if (sub == QStringLiteral("anonimizar"))
        modoAnonimizar(a1, a2);
    ventanaConfiguracion(a1, a2);
}

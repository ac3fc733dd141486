#include "dialogos/modo_aviso.h"

#include "comun/salida.h"
#include "dialogos/servidores.h"
#include "estilo/alerta.h"

TextosAlerta textosAviso(const QString& clave, const QString& v)
{
    if (clave == QStringLiteral("al-dia"))
        return {QStringLiteral("Estás al día"),
                QStringLiteral("ZorvPlayer ") + v + QStringLiteral(" es la versión más reciente.")};
    if (clave == QStringLiteral("sin-red"))
        return {QStringLiteral("No se pudo comprobar"),
                QStringLiteral("No se ha podido consultar ") + kServidorActualizaciones
                    + QStringLiteral(". Revisa la conexión y vuelve a intentarlo desde Ajustes.")};
    if (clave == QStringLiteral("descargando"))
        return {QStringLiteral("Descargando"),
                QStringLiteral("Se está descargando ZorvPlayer ") + v
                    + QStringLiteral(". Cuando termine, el programa se cerrará un momento y "
                                     "volverá a abrirse actualizado.")};
    return {QStringLiteral("Aviso"), v};
}

void modoAviso(const QString& clave, const QString& v)
{
    const TextosAlerta t = textosAviso(clave, v);
    alerta(t.titulo, t.mensaje, {QStringLiteral("Aceptar")});
    salir(0);
}

#include "dialogos/modo_nueva.h"

#include "comun/json.h"
#include "comun/salida.h"
#include "estilo/alerta.h"

TextosAlerta textosNueva(const QString& version, const QString& rutaJSON)
{
    QString notas;
    if (const auto doc = leerJSON(rutaJSON)) {
        const QJsonValue v = doc->value(QStringLiteral("notas"));
        if (v.isString())
            notas = v.toString();
    }
    QString mensaje = QStringLiteral(
        "Hay una versión más reciente. Si la instalas ahora, se descarga, se comprueba su "
        "firma, ZorvPlayer se cierra un momento y vuelve a abrirse ya actualizado.");
    if (!notas.isEmpty())
        mensaje += QStringLiteral("\n\n") + notas;
    mensaje += QStringLiteral("\n\nSi eliges «Más tarde», se vuelve a avisar mañana. En Ajustes "
                              "(tecla A) puedes poner las actualizaciones automáticas.");
    return {QStringLiteral("Nueva versión ") + version + QStringLiteral(" de ZorvPlayer"), mensaje};
}

void modoNueva(const QString& version, const QString& rutaJSON)
{
    const TextosAlerta t = textosNueva(version, rutaJSON);
    const int b = alerta(t.titulo, t.mensaje,
                         {QStringLiteral("Instalar ahora"), QStringLiteral("Más tarde")});
    salir(b == 0 ? 0 : 1);
}

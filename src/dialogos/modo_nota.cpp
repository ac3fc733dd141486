#include "dialogos/modo_nota.h"

#include "comun/salida.h"
#include "estilo/alerta.h"

#include <QLineEdit>

QString mensajeNota(const QString& posicion, const QString& horaReal)
{
    return QStringLiteral("Posición ") + posicion + QStringLiteral(" · hora real ") + horaReal
        + QStringLiteral("\n\nLa marca se ve en la barra de tiempo y sale en el informe del caso.");
}

QString textoNota(const QString& escrito)
{
    return escrito.trimmed();
}

void modoNota(const QString& posicion, const QString& horaReal)
{
    auto* campo = new QLineEdit;
    campo->setPlaceholderText(QStringLiteral("Qué pasa aquí (p. ej. «entra el coche blanco»)"));
    campo->setFixedSize(380, 24);
    campo->resize(380, 24);
    const int b = alerta(QStringLiteral("Marcar este momento"), mensajeNota(posicion, horaReal),
                         {QStringLiteral("Guardar marca"), QStringLiteral("Cancelar")},
                         EstiloAlerta::aviso, campo, campo);
    if (b == 0)
        salir(0, textoNota(campo->text()));
    salir(1);
}

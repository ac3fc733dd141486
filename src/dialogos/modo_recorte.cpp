#include "dialogos/modo_recorte.h"

#include "comun/salida.h"
#include "estilo/alerta.h"

#include <algorithm>

DialogoRecorte::DialogoRecorte(const QString& tramos)
{
    const QStringList piezas = tramos.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    n = int(piezas.size());

    accesorio = std::make_unique<QWidget>();
    // Positions follow the alert's bottom-up layout: the exact-cut box sits on top.
    const int alto = n >= 2 ? 60 : 30;
    exacto = new Casilla(
        QStringLiteral("Corte exacto al fotograma (más lento: vuelve a comprimir el vídeo)"), false,
        {}, accesorio.get());
    exacto->setGeometry(0, alto - (n >= 2 ? 32 : 6) - 22, 420, 22);
    if (n >= 2) {
        unir = new Casilla(QStringLiteral("Unir los %1 tramos en un solo vídeo").arg(n), false, {},
                           accesorio.get());
        unir->setGeometry(0, alto - 6 - 22, 420, 22);
    }
    // The long exact-cut title must be read whole; widen rather than clip it.
    const int ancho = std::max(420, exacto->sizeHint().width());
    accesorio->resize(ancho, alto);
    exacto->resize(ancho, 22);
    if (unir)
        unir->resize(ancho, 22);

    QStringList lineas;
    for (int i = 0; i < n; ++i)
        lineas << QStringLiteral("%1)  ").arg(i + 1) + piezas[i];
    mensaje = lineas.join(QLatin1Char('\n'))
        + QStringLiteral("\n\nSe guardan en la carpeta del caso, cada uno con un .txt con su "
                         "origen, horas reales y huella SHA-256.")
        + QStringLiteral(" El corte rápido no recomprime: es instantáneo y puede empezar un poco "
                         "antes del punto marcado.");
    titulo = n == 1 ? QStringLiteral("Guardar el tramo marcado")
                    : QStringLiteral("Guardar los %1 tramos marcados").arg(n);
}

std::optional<QString> DialogoRecorte::respuesta(int boton) const
{
    switch (boton) {
    case 0:
        return QStringLiteral("guardar exacto=%1 unir=%2")
            .arg(exacto->marcada() ? 1 : 0)
            .arg(n >= 2 && unir && unir->marcada() ? 1 : 0);
    case 1:
        return QStringLiteral("otro");
    case 2:
        return QStringLiteral("descartar");
    default:
        return std::nullopt;
    }
}

void modoRecorte(const QString& tramos)
{
    DialogoRecorte d(tramos);
    const int b = alerta(d.titulo, d.mensaje, kBotonesRecorte, EstiloAlerta::aviso,
                         d.accesorio.get());
    if (const auto r = d.respuesta(b))
        salir(0, *r);
    salir(1);
}

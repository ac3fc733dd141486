#include "dialogos/modo_caso.h"

#include "comun/nombres.h"
#include "comun/salida.h"
#include "comun/texto.h"
#include "estilo/alerta.h"

#include <QComboBox>
#include <QCompleter>
#include <QDateTime>
#include <QLineEdit>
#include <algorithm>

QStringList carpetasDeCaso(const QString& base)
{
    struct Entrada {
        QString nombre;
        QDateTime fecha;
    };
    QList<Entrada> entradas;
    // Read by bytes: an empty base is no folder (not the working directory), and a case
    // folder whose name is not UTF-8 is offered and given back as it is.
    for (const QString& nombre : nombresEnCarpeta(base)) {
        if (nombre.startsWith(QLatin1Char('.')))
            continue;
        const auto info = infoEntrada(base + QLatin1Char('/') + nombre);
        if (!info || !info->carpeta)
            continue;
        const QDateTime fecha = info->modificada.isValid()
            ? info->modificada
            : QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
        entradas << Entrada{nombre, fecha};
    }
    std::stable_sort(entradas.begin(), entradas.end(),
                     [](const Entrada& a, const Entrada& b) { return a.fecha > b.fecha; });
    QStringList nombres;
    for (const Entrada& e : entradas) {
        if (nombres.size() == 30)
            break;
        nombres << e.nombre;
    }
    return nombres;
}

QString nombreDeCaso(const QString& texto)
{
    QString nombre = limpio(texto);
    while (nombre.endsWith(QLatin1Char('.')) || nombre.endsWith(QLatin1Char(' ')))
        nombre.chop(1);
    return nombre;
}

void modoCaso(const QString& base, const QString& sugerido)
{
    auto* combo = new QComboBox;
    combo->setEditable(true);
    // Return must reach the alert's default button, not grow the list.
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(carpetasDeCaso(base));
    combo->setEditText(sugerido);
    combo->completer()->setCompletionMode(QCompleter::InlineCompletion);
    combo->completer()->setCaseSensitivity(Qt::CaseSensitive);
    combo->setFixedSize(360, 26);
    combo->resize(360, 26);

    const int b = alerta(
        QStringLiteral("Carpeta del caso"),
        QStringLiteral("Las capturas de este vídeo se guardarán en una carpeta propia dentro de:\n")
            + base
            + QStringLiteral("\n\nEscribe el nombre del caso o proyecto, o elige uno ya existente "
                             "de la lista.\n\nPuedes cambiar de caso en cualquier momento con la "
                             "tecla N. En Ajustes se puede dejar de preguntar."),
        {QStringLiteral("Usar esta carpeta"), QStringLiteral("Sin carpeta de caso")},
        EstiloAlerta::aviso, combo, combo->lineEdit());
    const QString nombre = nombreDeCaso(combo->currentText());
    if (b == 0 && !nombre.isEmpty())
        salir(0, nombre);
    salir(1);
}

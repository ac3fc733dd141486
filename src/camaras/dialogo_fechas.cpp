#include "camaras/dialogo_fechas.h"

#include "camaras/nombres.h"
#include "estilo/color.h"
#include "estilo/dialogo_alerta.h"
#include "estilo/etiqueta.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

std::optional<std::pair<QDateTime, QDateTime>> pedirVentanaFechas(const std::pair<QDateTime, QDateTime>& propuesta)
{
    auto* panel = new QWidget;
    auto* rejilla = new QGridLayout(panel);
    rejilla->setContentsMargins(0, 0, 0, 0);
    rejilla->setHorizontalSpacing(10);
    rejilla->setVerticalSpacing(6);
    auto* desde = new QLineEdit(textoFechaHora(propuesta.first));
    auto* hasta = new QLineEdit(textoFechaHora(propuesta.second));
    for (QLineEdit* campo : {desde, hasta}) {
        campo->setFont(fuenteSistema(13));
        campo->setPlaceholderText(QStringLiteral("dd/mm/aaaa hh:mm:ss"));
        campo->setFixedWidth(200);
    }
    rejilla->addWidget(etiqueta(QStringLiteral("Desde"), 13), 0, 0);
    rejilla->addWidget(desde, 0, 1);
    rejilla->addWidget(etiqueta(QStringLiteral("Hasta"), 13), 1, 0);
    rejilla->addWidget(hasta, 1, 1);
    auto* aviso = etiqueta(QString(), 11, QFont::Normal, Color::rojo);
    aviso->setFixedWidth(360);
    aviso->setMinimumHeight(30);
    rejilla->addWidget(aviso, 2, 0, 1, 2);
    panel->resize(360, 100);

    DialogoAlerta d(QStringLiteral("Elegir fechas"),
                    QStringLiteral("Se listan las grabaciones de este intervalo, en la hora de este equipo. "
                                   "Los segundos son opcionales."),
                    {QStringLiteral("Aceptar"), QStringLiteral("Cancelar")}, EstiloAlerta::aviso, panel);
    const auto revisar = [&] {
        const VentanaEscrita v = leerVentana(desde->text(), hasta->text());
        aviso->setText(v.problema);
        d.botones().first()->setEnabled(v.ventana.has_value());
    };
    QObject::connect(desde, &QLineEdit::textChanged, &d, revisar);
    QObject::connect(hasta, &QLineEdit::textChanged, &d, revisar);
    revisar();
    if (d.correr(desde) != 0)
        return std::nullopt;
    return leerVentana(desde->text(), hasta->text()).ventana;
}

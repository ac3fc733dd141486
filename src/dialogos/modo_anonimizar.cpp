#include "dialogos/modo_anonimizar.h"

#include "comun/salida.h"
#include "comun/texto.h"

#include <cmath>

namespace {

struct Metodo {
    const char* titulo;
    const char* clave;
};
constexpr Metodo kMetodos[] = {
    {"Pixelado", "pixelado"},
    {"Desenfoque fuerte", "desenfoque"},
    {"Tapar en negro", "negro"},
};

} // namespace

DialogoAnonimizar::DialogoAnonimizar(const QString& resumen, const QString& metodo)
{
    const QStringList p = resumen.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    zonas = enteroDecimal(p.value(0)).value_or(0);
    caras = enteroDecimal(p.value(1)).value_or(0);
    segundos = numeroDecimal(QString(p.value(2)).replace(QLatin1Char(','), QLatin1Char('.')))
                   .value_or(0.0);
    if (!std::isfinite(segundos))
        segundos = 0;

    accesorio = std::make_unique<QWidget>();
    accesorio->resize(400, 62);
    cMetodo = new QComboBox(accesorio.get());
    int elegido = 0;
    for (int i = 0; i < int(std::size(kMetodos)); ++i) {
        cMetodo->addItem(QString::fromUtf8(kMetodos[i].titulo), QString::fromUtf8(kMetodos[i].clave));
        if (metodo == QLatin1String(kMetodos[i].clave))
            elegido = i;
    }
    cMetodo->setCurrentIndex(elegido);
    cMetodo->setGeometry(0, 62 - 32 - 26, 240, 26);
    cRevisar = new Casilla(QStringLiteral("Abrir la copia al terminar para revisarla"), true, {},
                           accesorio.get());
    cRevisar->setGeometry(0, 62 - 4 - 22, 400, 22);

    mensaje = QStringLiteral("Se va a crear una copia nueva del vídeo con %1 zona(s) tapada(s) "
                             "(en total, ")
                  .arg(zonas)
        + QString::asprintf("%.1f", segundos)
        + QStringLiteral(" s de vídeo con alguna zona tapada). El vídeo original no se toca.\n\n"
                         "La copia se guarda en la carpeta del caso con un .txt que documenta el "
                         "origen, las zonas, el método y las huellas SHA-256 de los dos vídeos.");
    if (caras > 0)
        mensaje += QStringLiteral("\n\n%1 cara(s) propuesta(s) por el detector NO se taparán "
                                  "porque no las has elegido.")
                       .arg(caras);
    mensaje += QStringLiteral("\n\nRevisa la copia entera: el detector puede no ver caras de "
                              "perfil, tapadas, pequeñas o borrosas.");
    estilo = caras > 0 ? EstiloAlerta::aviso : EstiloAlerta::informativo;
}

std::optional<QString> DialogoAnonimizar::respuesta(int boton) const
{
    if (boton != 0)
        return std::nullopt;
    return QStringLiteral("generar metodo=") + cMetodo->currentData().toString()
        + QStringLiteral(" revisar=") + (cRevisar->marcada() ? QLatin1Char('1') : QLatin1Char('0'));
}

void modoAnonimizar(const QString& resumen, const QString& metodo)
{
    DialogoAnonimizar d(resumen, metodo);
    const int b = alerta(QStringLiteral("Generar copia anonimizada"), d.mensaje,
                         {QStringLiteral("Generar"), QStringLiteral("Cancelar")}, d.estilo,
                         d.accesorio.get());
    if (const auto r = d.respuesta(b))
        salir(0, *r);
    salir(1);
}

#include "dialogos/numero_campo.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace {

double prefijo(const QString& texto, const QRegularExpression& patron)
{
    const auto m = patron.match(texto);
    if (!m.hasMatch())
        return 0.0;
    bool bien = false;
    const double v = QLocale::c().toDouble(m.captured(1), &bien);
    if (!bien || std::isnan(v))
        return 0.0;
    return v;
}

} // namespace

double valorEntero(const QString& texto)
{
    static const QRegularExpression patron(QStringLiteral("^\\s*([+-]?\\d+)"),
                                           QRegularExpression::DotMatchesEverythingOption);
    const double v = prefijo(texto, patron);
    // Absurdly long digit strings become +-inf; the callers clamp, so keep the sign.
    return std::isinf(v) ? std::copysign(1e18, v) : v;
}

double valorDecimal(const QString& texto)
{
    static const QRegularExpression patron(
        QStringLiteral("^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)"),
        QRegularExpression::DotMatchesEverythingOption);
    const double v = prefijo(texto, patron);
    return std::isinf(v) ? std::copysign(1e18, v) : v;
}

QString textoNumero(double v)
{
    return QString::number(v, 'g', 10);
}

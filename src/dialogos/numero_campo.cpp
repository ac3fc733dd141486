#include "dialogos/numero_campo.h"

#include <QRegularExpression>
#include <clocale>
#include <cmath>
#include <cstdlib>

namespace {

double prefijo(const QString& texto, const QRegularExpression& patron)
{
    const auto m = patron.match(texto);
    if (!m.hasMatch())
        return 0.0;
    // strtod in the C locale rather than QLocale: a literal too large for a double
    // ("1e400", four hundred nines) comes back as an infinity with its sign, to be
    // clamped like any other big number, instead of as "not a number" read as 0.
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
    const QByteArray literal = m.captured(1).toLatin1();
    const double v = ::strtod_l(literal.constData(), nullptr, c);
    return std::isnan(v) ? 0.0 : v;
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

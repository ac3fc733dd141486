#include "rafaga/textos_rafaga.h"

#include <QDateTime>
#include <cmath>

namespace {

// Far beyond any video, yet small enough that whole seconds fit in 64 bits exactly.
constexpr double kLimiteSegundos = 1e15;

} // namespace

QString textoDuracion(double segundos)
{
    if (!std::isfinite(segundos) || std::fabs(segundos) >= kLimiteSegundos)
        return {};
    const auto total = static_cast<long long>(std::floor(segundos));
    const long long a = total < 0 ? -total : total;
    return QString::asprintf("%s%lld:%02lld:%02lld", total < 0 ? "-" : "", a / 3600,
                             a / 60 % 60, a % 60);
}

QString textoHora(double segundosEpoca)
{
    if (!std::isfinite(segundosEpoca) || std::fabs(segundosEpoca) >= kLimiteSegundos)
        return {};
    // Milliseconds rounded down: the second shown is the one the capture fell in.
    const auto ms = static_cast<qint64>(std::floor(segundosEpoca * 1000.0));
    const QDateTime fecha = QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
    return fecha.isValid() ? fecha.toString(QStringLiteral("HH:mm:ss")) : QString();
}

QString textoIntervalo(double seg)
{
    if (std::isfinite(seg) && seg == std::trunc(seg) && std::fabs(seg) < kLimiteSegundos)
        return QString::number(static_cast<long long>(seg));
    return QString::number(seg, 'g', QLocale::FloatingPointShortest);
}

QString leyendaCaptura(int n, double seg, double base)
{
    const double t = (double(n) - 1) * seg;
    return QString::number(n) + QStringLiteral("   ") + textoDuracion(t) + QStringLiteral("   ")
        + textoHora(base + t);
}

QString tituloRafaga(qsizetype n, double seg)
{
    return QStringLiteral("Ráfaga: ") + QString::number(n) + QStringLiteral(" capturas, una cada ")
        + textoIntervalo(seg) + QStringLiteral(" s");
}

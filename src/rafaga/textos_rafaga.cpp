#include "rafaga/textos_rafaga.h"

#include <QLocale>
#include <cmath>
#include <ctime>

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
    // Rounded down: the second shown is the one the capture fell in. The C library
    // straight: a day's burst has 17280 captions to make before the window opens, and
    // this is some forty times quicker than going through QDateTime.
    const auto t = static_cast<time_t>(std::floor(segundosEpoca));
    tm local{};
    if (!localtime_r(&t, &local))
        return {};
    return QString::asprintf("%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
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

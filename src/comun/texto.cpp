#include "comun/texto.h"

#include <QRegularExpression>
#include <cctype>
#include <charconv>
#include <cmath>

QString tamanoLegible(int64_t n)
{
    const double d = static_cast<double>(n);
    if (n < 1024)
        return QString::number(n) + QStringLiteral(" B");
    if (n < 1048576)
        return QString::asprintf("%.0f KB", d / 1024.0);
    if (n < 1073741824)
        return QString::asprintf("%.0f MB", d / 1048576.0);
    return QString::asprintf("%.1f GB", d / 1073741824.0);
}

QString limpio(const QString& texto)
{
    static const QString prohibidos = QStringLiteral("\\/:*?\"<>|");
    QString r = texto;
    for (QChar& c : r)
        if (prohibidos.contains(c))
            c = QLatin1Char('-');
    static const QRegularExpression bordes(QStringLiteral("^\\h+|\\h+$"));
    return r.remove(bordes);
}

std::optional<double> numeroDecimal(const QString& texto)
{
    const QByteArray b = texto.toUtf8();
    const char* inicio = b.constData();
    const char* fin = inicio + b.size();
    if (inicio == fin)
        return std::nullopt;
    // from_chars is locale-free but does not take the leading plus a C literal may have.
    if (*inicio == '+' && fin - inicio > 1 && inicio[1] != '-' && inicio[1] != '+')
        ++inicio;
    // from_chars also takes "nan", "inf" and "infinity"; a number typed or passed here
    // never means them, and NaN would slip through every later comparison.
    const char* cifra = inicio + (*inicio == '-' ? 1 : 0);
    if (cifra == fin || !(std::isdigit(static_cast<unsigned char>(*cifra)) || *cifra == '.'))
        return std::nullopt;
    double valor = 0;
    const auto [p, ec] = std::from_chars(inicio, fin, valor);
    if (ec != std::errc() || p != fin)
        return std::nullopt;
    return valor;
}

std::optional<int> enteroDecimal(const QString& texto)
{
    const QByteArray b = texto.toLatin1();
    if (texto.isEmpty() || b.size() != texto.size())
        return std::nullopt;
    const char* inicio = b.constData();
    const char* fin = inicio + b.size();
    if (*inicio == '+' && fin - inicio > 1 && inicio[1] != '-')
        ++inicio;
    int valor = 0;
    const auto [p, ec] = std::from_chars(inicio, fin, valor, 10);
    if (ec != std::errc() || p != fin)
        return std::nullopt;
    return valor;
}

QString enUnaLinea(const QString& valor)
{
    QString r;
    r.reserve(valor.size());
    for (const QChar c : valor) {
        const char16_t u = c.unicode();
        if (c == QLatin1Char('\\'))
            r += QStringLiteral("\\\\");
        else if (u >= 0xDC80 && u <= 0xDCFF) // a byte of a name that was not UTF-8 (textoDeBytes)
            r += QStringLiteral("\\x") + QString::number(u - 0xDC00, 16).toUpper();
        else if (u >= 0x20 && (u < 0x7f || u > 0x9f) && u != 0x2028 && u != 0x2029)
            r += c;
        else if (c == QLatin1Char('\n'))
            r += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            r += QStringLiteral("\\r");
        else if (c == QLatin1Char('\t'))
            r += QStringLiteral("\\t");
        else
            r += QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
    }
    return r;
}

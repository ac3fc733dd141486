#include "grabadores/ayudas.h"

#include <QRegularExpression>

std::pair<QDateTime, QDateTime> fechasPeriodo(const QString& clave) {
    const QDateTime fin = QDateTime::currentDateTime();
    qint64 segundos = 157680000;  // five years of 365 days for any other menu title
    if (clave == QStringLiteral("24 horas")) segundos = 86400;
    else if (clave == QStringLiteral("7 días")) segundos = 7 * 86400;
    else if (clave == QStringLiteral("30 días")) segundos = 30 * 86400;
    return {fin.addSecs(-segundos), fin};
}

FormatoFecha fmt(const QString& patron, bool utc) { return FormatoFecha(patron, utc); }

QList<QStringList> grupos(const QString& texto, const QString& patron) {
    // Replies span lines: a dot must cross them, and ^/$ anchor the whole text.
    const QRegularExpression re(patron, QRegularExpression::DotMatchesEverythingOption);
    QList<QStringList> res;
    if (!re.isValid()) return res;
    auto it = re.globalMatch(texto);
    while (it.hasNext()) {
        const auto m = it.next();
        QStringList partes;
        for (int i = 0; i <= re.captureCount(); ++i) partes << m.captured(i);
        // captured() of a group that took no part is a null text; keep it empty, not null
        for (auto& p : partes)
            if (p.isNull()) p = QLatin1String("");
        res << partes;
    }
    return res;
}

std::optional<QString> uno(const QString& texto, const QString& patron) {
    const auto g = grupos(texto, patron);
    if (g.isEmpty()) return std::nullopt;
    return g.first().size() >= 2 ? g.first().at(1) : g.first().at(0);
}

QString htmlDecode(QString texto) {
    texto.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    texto.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    texto.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    texto.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    return texto;
}

QString htmlEncode(QString texto) {
    texto.replace(QStringLiteral("&"), QStringLiteral("&amp;"));
    texto.replace(QStringLiteral("<"), QStringLiteral("&lt;"));
    texto.replace(QStringLiteral(">"), QStringLiteral("&gt;"));
    return texto;
}

QString nombreFecha(const std::optional<QDateTime>& fecha, const QString& extension,
                    const QString& prefijo) {
    const QString raiz = fecha ? fmt(QStringLiteral("yyyy-MM-dd-HH-mm-ss"), false).texto(*fecha)
                               : prefijo;
    return raiz + extension;
}

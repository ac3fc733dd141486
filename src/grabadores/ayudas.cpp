#include "grabadores/ayudas.h"

#include <QHash>
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

namespace {

// Compiling a pattern costs a hundred times more than matching it once, and the protocols
// apply the same few patterns to every item of every page: each thread keeps the patterns
// it compiled.
const QRegularExpression& compilada(const QString& patron) {
    thread_local QHash<QString, QRegularExpression> hechas;
    auto it = hechas.constFind(patron);
    if (it != hechas.constEnd()) return *it;
    if (hechas.size() >= 256) hechas.clear();  // patterns built from data must not pile up
    // Replies span lines: a dot must cross them, and ^/$ anchor the whole text.
    return *hechas.insert(patron, QRegularExpression(patron, QRegularExpression::DotMatchesEverythingOption));
}

}  // namespace

QList<QStringList> grupos(const QString& texto, const QString& patron) {
    const QRegularExpression& re = compilada(patron);
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

QString textoDuracion(qint64 segundos) {
    quint64 resto = segundos < 0 ? 0 - quint64(segundos) : quint64(segundos);
    QStringList partes;
    const std::pair<quint64, const char*> unidades[] = {{86400, "d"}, {3600, "h"}, {60, "min"}, {1, "s"}};
    for (const auto& [tamano, nombre] : unidades) {
        if (resto / tamano == 0) continue;
        partes << QString::number(resto / tamano) + QLatin1Char(' ') + QLatin1String(nombre);
        resto %= tamano;
    }
    return partes.isEmpty() ? QStringLiteral("0 s") : partes.join(QLatin1Char(' '));
}

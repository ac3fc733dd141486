#include "grabadores/formato_fecha.h"

#include <QTimeZone>
#include <array>
#include <ctime>

namespace {

using Pieza = FormatoFecha::Pieza;

constexpr std::array<const char*, 12> MESES = {"January", "February", "March",     "April",
                                               "May",     "June",     "July",      "August",
                                               "September", "October", "November", "December"};
constexpr std::array<const char*, 7> DIAS = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                             "Friday", "Saturday", "Sunday"};

bool esNumerico(const Pieza& p) {
    switch (p.letra) {
    case u'y': case u'd': case u'H': case u'h': case u'k': case u'K': case u'm': case u's':
    case u'S':
        return true;
    case u'M': case u'L':
        return p.cuenta <= 2;
    default:
        return false;
    }
}

bool letraAdmitida(char16_t c, int n) {
    switch (c) {
    case u'y': case u'd': case u'H': case u'h': case u'k': case u'K': case u'm': case u's':
        return true;
    case u'S': return n <= 9;
    case u'M': case u'L': case u'Z': case u'X': case u'x': case u'a': return n <= 5;
    case u'E': return n <= 6;
    default: return false;
    }
}

// Month and weekday names as the POSIX locale writes them for a field of `n` letters.
QString nombre(const char* completo, int n) {
    const QString s = QString::fromLatin1(completo);
    if (n == 4) return s;
    if (n == 5) return s.left(1);
    if (n == 6) return s.left(2);
    return s.left(3);
}

QString relleno(qint64 v, int ancho) {
    return QStringLiteral("%1").arg(v, ancho, 10, QLatin1Char('0'));
}

QString desfaseTexto(int segundos, char16_t letra, int n) {
    if (segundos == 0 && (letra == u'X' || (letra == u'Z' && n == 5))) return QStringLiteral("Z");
    const QChar signo = segundos < 0 ? QLatin1Char('-') : QLatin1Char('+');
    const int a = std::abs(segundos) / 60;
    const QString hh = relleno(a / 60, 2), mm = relleno(a % 60, 2);
    if (letra == u'Z' && n == 4) return QStringLiteral("GMT") + signo + hh + u':' + mm;
    if (letra == u'Z' && n <= 3) return signo + hh + mm;
    if (n == 1) return a % 60 ? signo + hh + mm : signo + hh;
    if (n == 3 || n == 5) return signo + hh + u':' + mm;
    return signo + hh + mm;
}

QString campoTexto(const Pieza& p, const QDateTime& f, int desfase) {
    const QDate d = f.date();
    const QTime t = f.time();
    const int n = p.cuenta;
    switch (p.letra) {
    case u'y': return n == 2 ? relleno(d.year() % 100, 2) : relleno(d.year(), n);
    case u'M': case u'L': return n <= 2 ? relleno(d.month(), n) : nombre(MESES[d.month() - 1], n);
    case u'd': return relleno(d.day(), n);
    case u'E': return nombre(DIAS[d.dayOfWeek() - 1], n);
    case u'a': return t.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
    case u'H': return relleno(t.hour(), n);
    case u'k': return relleno(t.hour() == 0 ? 24 : t.hour(), n);
    case u'K': return relleno(t.hour() % 12, n);
    case u'h': return relleno(t.hour() % 12 == 0 ? 12 : t.hour() % 12, n);
    case u'm': return relleno(t.minute(), n);
    case u's': return relleno(t.second(), n);
    case u'S': return (relleno(t.msec(), 3) + QString(n, u'0')).left(n);
    default: return desfaseTexto(desfase, p.letra, n);
    }
}

// What a text said, field by field, before it becomes an instant.
struct Leido {
    int anio = 1970, mes = 1, dia = 1, hora = 0, minuto = 0, segundo = 0, ms = 0;
    bool doce = false;  // the hour came on a 12-hour clock
    bool pm = false;
    std::optional<int> desfase;
};

class Lector {
public:
    explicit Lector(const QString& t) : t(t) {}

    // At least one and at most `maximo` ASCII digits. A pattern may make a field as wide as
    // it likes, but no field of a date holds a number past nine digits: a longer one is no
    // date, and would not fit the arithmetic that reads it.
    std::optional<qint64> digitos(int minimo, int maximo, int* leidos = nullptr) {
        constexpr qint64 TOPE = 999999999;
        qint64 v = 0;
        int n = 0;
        bool demasiado = false;
        while (n < maximo && pos < t.size() && t[pos] >= u'0' && t[pos] <= u'9') {
            const int d = t[pos].unicode() - u'0';
            if (v > (TOPE - d) / 10)
                demasiado = true;
            else
                v = v * 10 + d;
            ++pos;
            ++n;
        }
        if (leidos) *leidos = n;
        if (n < minimo || demasiado) return std::nullopt;
        return v;
    }
    bool literal(const QString& s, Qt::CaseSensitivity cs = Qt::CaseSensitive) {
        if (QStringView(t).mid(pos).startsWith(s, cs)) {
            pos += s.size();
            return true;
        }
        return false;
    }
    // Index of the name found at the cursor, or -1.
    template <size_t N>
    int nombreDe(const std::array<const char*, N>& nombres, int n) {
        for (size_t i = 0; i < N; ++i)
            if (literal(nombre(nombres[i], n), Qt::CaseInsensitive)) return int(i);
        return -1;
    }
    std::optional<int> desfase() {
        if (literal(QStringLiteral("Z"))) return 0;
        const bool gmt = literal(QStringLiteral("GMT")) || literal(QStringLiteral("UTC"));
        if (pos >= t.size() || (t[pos] != u'+' && t[pos] != u'-')) {
            if (gmt) return 0;
            return std::nullopt;
        }
        const int signo = t[pos] == u'-' ? -1 : 1;
        ++pos;
        const auto hh = digitos(2, 2);
        if (!hh || *hh > 23) return std::nullopt;
        qint64 mm = 0;
        const qsizetype antes = pos;
        const bool dosPuntos = literal(QStringLiteral(":"));
        if (const auto m = digitos(2, 2)) mm = *m;
        else if (dosPuntos) return std::nullopt;
        else pos = antes;
        if (mm > 59) return std::nullopt;
        return signo * int(*hh * 3600 + mm * 60);
    }
    bool alFinal() const { return pos == t.size(); }

private:
    const QString& t;
    qsizetype pos = 0;
};

bool leerCampo(Lector& l, const Pieza& p, bool pegado, Leido& r) {
    const int n = p.cuenta;
    if (p.letra == u'a') {
        if (l.literal(QStringLiteral("AM"), Qt::CaseInsensitive)) r.pm = false;
        else if (l.literal(QStringLiteral("PM"), Qt::CaseInsensitive)) r.pm = true;
        else return false;
        return true;
    }
    // The weekday is read but not held against the date.
    if (p.letra == u'E') return l.nombreDe(DIAS, n) >= 0;
    if ((p.letra == u'M' || p.letra == u'L') && n > 2) {
        const int i = l.nombreDe(MESES, n);
        r.mes = i + 1;
        return i >= 0;
    }
    if (p.letra == u'Z' || p.letra == u'X' || p.letra == u'x') {
        r.desfase = l.desfase();
        return r.desfase.has_value();
    }
    // Fields run together with other numbers take exactly their own width ("yyMMdd" reads
    // 240305); alone a field takes what digits there are, up to a sane width.
    const bool anio = p.letra == u'y', fraccion = p.letra == u'S';
    const int maximo = pegado ? n : (anio || fraccion) ? std::max(n, 9) : std::max(n, 2);
    int leidos = 0;
    const auto v = l.digitos(pegado ? n : 1, maximo, &leidos);
    if (!v) return false;
    switch (p.letra) {
    case u'y': r.anio = int(n <= 2 && leidos == 2 ? 2000 + *v : *v); break;
    case u'M': case u'L': r.mes = int(*v); break;
    case u'd': r.dia = int(*v); break;
    case u'H': r.hora = int(*v); if (r.hora > 23) return false; break;
    case u'k': if (*v < 1 || *v > 24) return false; r.hora = int(*v % 24); break;
    case u'K': if (*v > 11) return false; r.hora = int(*v); r.doce = true; break;
    case u'h': if (*v < 1 || *v > 12) return false; r.hora = int(*v % 12); r.doce = true; break;
    case u'm': r.minuto = int(*v); break;
    case u's': r.segundo = int(*v); break;
    case u'S': r.ms = (relleno(*v, leidos) + QStringLiteral("00")).left(3).toInt(); break;
    default: return false;
    }
    return true;
}

// The machine's offset from UTC at an instant, in milliseconds, straight from the C
// library: Qt's local time makes it re-read the zone before every conversion, which with
// TZ unset is a file-system lookup each time, and a page of recordings needs hundreds.
// Whoever changes TZ calls tzset(), as Qt itself does.
qint64 desfaseLocalEn(qint64 ms) {
    const time_t s = time_t(ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000));
    tm t{};
    if (!localtime_r(&s, &t))
        return qint64(QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime).offsetFromUtc()) * 1000;
    return qint64(t.tm_gmtoff) * 1000;
}

// The instant a local wall-clock time names. Clock changes are at least days apart, so the
// offsets a day before and a day after are the only candidates.
qint64 instanteLocal(qint64 pared) {
    const qint64 antes = desfaseLocalEn(pared - 86400000), despues = desfaseLocalEn(pared + 86400000);
    // A repeated hour (clock set back) is read as its later occurrence: the smaller offset.
    for (qint64 o : {std::min(antes, despues), std::max(antes, despues)})
        if (desfaseLocalEn(pared - o) == o) return pared - o;
    // A skipped hour: read with the offset in force before the change, which lands it past
    // the gap, as a clock would show it.
    return pared - antes;
}

}  // namespace

FormatoFecha::FormatoFecha(QString patron, bool utc) : utc(utc) {
    for (qsizetype i = 0; i < patron.size();) {
        const QChar c = patron[i];
        if (c == u'\'') {
            QString texto;
            if (i + 1 < patron.size() && patron[i + 1] == u'\'') {
                texto = QStringLiteral("'");
                i += 2;
            } else {
                bool cerrado = false;
                for (++i; i < patron.size(); ++i) {
                    if (patron[i] != u'\'') texto += patron[i];
                    else if (i + 1 < patron.size() && patron[i + 1] == u'\'') texto += patron[++i];
                    else {
                        cerrado = true;
                        ++i;
                        break;
                    }
                }
                if (!cerrado) bien = false;
            }
            if (!piezas.isEmpty() && piezas.last().letra == 0) piezas.last().literal += texto;
            else piezas.append({0, 0, texto});
        } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
            int n = 0;
            while (i < patron.size() && patron[i] == c) ++n, ++i;
            if (!letraAdmitida(c.unicode(), n)) bien = false;
            piezas.append({c.unicode(), n, {}});
        } else {
            if (!piezas.isEmpty() && piezas.last().letra == 0) piezas.last().literal += c;
            else piezas.append({0, 0, QString(c)});
            ++i;
        }
    }
}

FormatoFecha FormatoFecha::conDesfase(const QString& patron, int segundos) {
    FormatoFecha f(patron, false);
    f.fijo = segundos;
    return f;
}

QString FormatoFecha::texto(const QDateTime& fecha) const {
    if (!bien || !fecha.isValid()) return {};
    // The fields are those of the wall clock: the instant moved by the offset, read as UTC.
    const qint64 ms = fecha.toMSecsSinceEpoch();
    const int desfase = fijo ? *fijo : utc ? 0 : int(desfaseLocalEn(ms) / 1000);
    const QDateTime f = QDateTime::fromMSecsSinceEpoch(ms + qint64(desfase) * 1000, Qt::UTC);
    QString s;
    for (const Pieza& p : piezas) s += p.letra ? campoTexto(p, f, desfase) : p.literal;
    return s;
}

std::optional<QDateTime> FormatoFecha::fecha(const QString& texto) const {
    if (!bien) return std::nullopt;
    Lector l(texto);
    Leido r;
    for (qsizetype i = 0; i < piezas.size(); ++i) {
        const Pieza& p = piezas[i];
        if (!p.letra) {
            if (!l.literal(p.literal)) return std::nullopt;
            continue;
        }
        const bool pegado = esNumerico(p) && ((i + 1 < piezas.size() && esNumerico(piezas[i + 1])) ||
                                              (i > 0 && esNumerico(piezas[i - 1])));
        if (!leerCampo(l, p, pegado, r)) return std::nullopt;
    }
    if (!l.alFinal()) return std::nullopt;
    if (r.doce && r.pm) r.hora += 12;
    const QDate d(r.anio, r.mes, r.dia);
    const QTime t(r.hora, r.minuto, r.segundo, r.ms);
    if (!d.isValid() || !t.isValid()) return std::nullopt;
    const qint64 pared = QDateTime(d, t, QTimeZone::utc()).toMSecsSinceEpoch();
    qint64 instante = pared;
    if (r.desfase) instante = pared - qint64(*r.desfase) * 1000;
    else if (fijo) instante = pared - qint64(*fijo) * 1000;
    else if (!utc) instante = instanteLocal(pared);
    return utc ? QDateTime::fromMSecsSinceEpoch(instante, QTimeZone::utc())
               : QDateTime::fromMSecsSinceEpoch(instante, Qt::LocalTime);
}

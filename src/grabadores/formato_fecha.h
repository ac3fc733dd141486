#pragma once
// Dates written into requests and read out of device replies, in the pattern language of
// the POSIX-locale date formatters recorders were designed against: letters are fields
// ("yyyy", "yy", "MM", "MMM", "dd", "EEE", "HH", "hh", "a", "mm", "ss", "SSS", "Z", "X"),
// text between single quotes is literal ("''" is one quote), any other character stands for
// itself. Names and digits never follow the user's settings. Qt's own pattern language
// differs ("yy" is 19xx, unknown letters pass as text), so it is not used here.
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

class FormatoFecha {
public:
    // A pattern with an unknown field letter or an unclosed quote makes a formatter that
    // writes nothing and reads nothing.
    FormatoFecha(QString patron, bool utc);
    // Wall-clock times of a device whose zone is not the machine's: written and read at a
    // fixed offset east of UTC; what it reads comes back in local time.
    static FormatoFecha conDesfase(const QString& patron, int segundos);

    // Empty for an invalid date or pattern.
    QString texto(const QDateTime& fecha) const;
    // The whole text must match. Two-digit years are 2000 to 2099. A local time that the
    // clock skips is moved forward by the gap; one it repeats is the later of the two. An
    // offset in the text ("Z", "X") wins over the formatter's zone.
    std::optional<QDateTime> fecha(const QString& texto) const;

    bool valido() const { return bien; }

    struct Pieza {
        char16_t letra = 0;  // 0: literal text
        int cuenta = 0;
        QString literal;
    };

private:
    QList<Pieza> piezas;
    bool utc;
    std::optional<int> fijo;
    bool bien = true;
};

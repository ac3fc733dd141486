#pragma once
#include <QString>
#include <cstdint>
#include <optional>

// "1023 B", "1 KB", "1 MB", "1.5 GB" (point as decimal separator, whatever the locale).
QString tamanoLegible(int64_t n);

// A user-typed name made safe for the file system: \ / : * ? " < > | become "-",
// horizontal white space is trimmed from both ends, everything else stays.
QString limpio(const QString& texto);

// The whole text as a C-locale floating-point literal (2, 0.5, 1e1); nothing for
// anything else, including leading or trailing white space, the empty text, "nan", "inf"
// and a value too large for a double.
std::optional<double> numeroDecimal(const QString& texto);

// The whole text as a decimal integer with an optional sign, no spaces, no fraction;
// nothing when it does not fit in 32 bits.
std::optional<int> enteroDecimal(const QString& texto);

// A value from outside (a device, a drive, a file) on the one line it is written on: a
// line break in it would add a line of its own to a record or to a report. Control
// characters (C0, C1, the Unicode line and paragraph separators) become escapes; so does
// the backslash itself ("\\"), or a device's "\n" would read back as a line break, and a
// byte of a name that was not UTF-8 (as textoDeBytes keeps it) becomes "\xNN", the very
// byte the source used.
QString enUnaLinea(const QString& valor);

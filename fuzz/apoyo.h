#pragma once
// What every fuzz target shares: the input as text, as a device's reply is read, and a
// check that stops the run when a property the code promises does not hold.
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

inline QString textoDe(const uint8_t* datos, size_t largo)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(datos), qsizetype(largo));
}

inline QByteArray bytesDe(const uint8_t* datos, size_t largo)
{
    return QByteArray(reinterpret_cast<const char*>(datos), qsizetype(largo));
}

// A broken promise is a finding like a crash: libFuzzer keeps the input that broke it.
#define EXIGIR(condicion)                                                          \
    do {                                                                           \
        if (!(condicion)) {                                                        \
            std::fprintf(stderr, "%s:%d: no se cumple %s\n", __FILE__, __LINE__,  \
                         #condicion);                                              \
            std::abort();                                                          \
        }                                                                          \
    } while (0)

// Whether a name from outside is ONE visible file name where it will be saved: not empty,
// no folder separator, no control character or line separator (paths go out one per line),
// and no leading dot (a hidden file, "." or "..").
inline bool esComponenteSeguro(const QString& nombre)
{
    if (nombre.isEmpty() || nombre.startsWith(QLatin1Char('.')))
        return false;
    for (const QChar c : nombre) {
        const char16_t u = c.unicode();
        if (u == u'/' || u < 0x20 || (u >= 0x7f && u <= 0x9f) || u == 0x2028 || u == 0x2029)
            return false;
    }
    return true;
}

// Local times that the clock skips or repeats only exist in a zone with summer time; the
// readers of local dates run in one. Call it before any date is made.
inline bool zonaConVerano()
{
    return setenv("TZ", "Europe/Madrid", 1) == 0;
}

namespace apoyo_fuzz {

// Qt's warnings would drown the fuzzer's own lines and slow every run; its fatal
// messages (a failed check inside Qt) still end the run, and must be seen.
inline void soloFatales(QtMsgType tipo, const QMessageLogContext&, const QString& texto)
{
    if (tipo == QtFatalMsg)
        std::fprintf(stderr, "Qt: %s\n", qPrintable(texto));
}

inline const bool silencio = (qInstallMessageHandler(soloFatales), true);

} // namespace apoyo_fuzz

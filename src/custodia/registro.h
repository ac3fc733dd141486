#pragma once
// The case's chain-of-custody register, "registro-de-custodia.jsonl" in the case folder:
// one line per file the window put into the case, only ever appended to. Each line names
// the SHA-256 of the line before it, so an entry edited, removed or slipped in breaks the
// chain where it happened.
//
// An append is one write(2) of the whole line, made while holding an exclusive flock on
// the register and flushed to disk before it counts: two windows on one case never mix
// their lines, and a crash leaves at most the last line torn (no line break at its end).
// The next append ends such a torn line with a line break and chains to it as it is, so
// the check can tell a write that was interrupted from a line someone changed.
#include "custodia/entrada.h"

#include <QByteArray>
#include <QString>
#include <functional>

inline const QString kNombreRegistro = QStringLiteral("registro-de-custodia.jsonl");

// Appends `entrada` to the register of `carpetaCaso` (created when missing, never through a
// link), filling in the time, this program's version, the PC and its user, and the chain.
// Returns the reason in Spanish when it could not; the register is then as it was.
QString anadirEntrada(const QString& carpetaCaso, EntradaCustodia entrada);

// What the check and the report see of one line.
struct LineaRegistro {
    int numero = 0;      // from 1: the entry number
    QByteArray texto;    // without its line break; at most kLineaMaxima bytes
    QString sha256;      // of all the line's bytes: what the next line must name
    bool larga = false;  // longer than kLineaMaxima: no entry of ours is
    bool terminada = true;
};
constexpr qsizetype kLineaMaxima = 1 << 20;

// Reads the register open at `fd` from its start, in large blocks, whatever it holds (a
// huge line, no line break at all). False on a read error.
bool leerLineas(int fd, const std::function<void(const LineaRegistro&)>& cadaLinea);

// flock(2) with `operacion` (LOCK_SH, LOCK_EX), retried for up to `esperaMs`.
bool bloquearRegistro(int fd, int operacion, int esperaMs);

// A file descriptor closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd(fd) {}
    ~Descriptor();
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    operator int() const { return fd; }

private:
    int fd;
};

QString razonSistema(int error);

#pragma once
// The printable face of a case's register: "registro-de-custodia.html" beside it, one
// table per source (device or drive, and channel) with each file's times, size, SHA-256
// and the device's clock offset, and the register's last chain hash to compare with what
// the check prints. One self-contained page: no script, no outside resource, styled for
// A4; every text that came from a device, a drive or the register itself is escaped.
#include <QString>

inline const QString kNombreInforme = QStringLiteral("registro-de-custodia.html");

// Rewrites the report of `carpetaCaso` from its register, atomically (a temporary file
// renamed over it, never written through a link); nothing when there is no register.
// Returns the reason in Spanish when it could not.
QString escribirInforme(const QString& carpetaCaso);

// What the report says it was made from: the number of lines the register had and the
// SHA-256 of the last one, as the page's first lines carry it. Nothing when `inicio` (the
// start of a report) holds no such line.
struct AnclaInforme {
    int lineas = 0;
    QString cadena;
};
std::optional<AnclaInforme> anclaDeInforme(const QByteArray& inicio);

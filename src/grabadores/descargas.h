#pragma once
// Putting what a device sends into the file the user will open: files that need work
// after the transfer (VStarcam's raw recordings, their conversion) wait under a temporary
// name beside it and take the final name only once whole; names a device supplies become
// one harmless file-name component. What arrived is checked before anyone calls it a
// recording: its size against the listing's, its first bytes against a device's error page.
#include "grabadores/modelo.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

// `destino` without its extension + ".descarga"; `destino` + ".descarga" when that would be
// `destino` itself.
QString temporalDescarga(const QString& destino);

// A recording that arrived whole but whose conversion did not: the camera's own bytes wait
// at `original` for the caller to keep (they are what it recorded) or to remove.
class ConversionFallida : public ErrorCamara {
public:
    ConversionFallida(QString mensaje, QString original)
        : ErrorCamara(std::move(mensaje)), original(std::move(original)) {}
    QString original;
};

// Gives `temporal` the name `destino` in one step, replacing what is there. Throws
// ErrorCamara, and then `temporal` is gone too.
void renombrarDescarga(const QString& temporal, const QString& destino);

// C0 and C1 control characters and the Unicode line and paragraph separators: what no name
// shown on one line, or written on one line for the player, may hold.
bool esControl(QChar c);
// A byte of a name that was not UTF-8, as textoDeBytes keeps it (U+DC80 to U+DCFF).
bool esByteSuelto(QChar c);

// A name from outside (a device's listing, a drive's label or files) made into ONE visible
// file-name component: folder separators and control characters become `sustituto`; a
// name that starts with a dot (a hidden file, "." and "..") gets `sustituto` in front, so
// its extension stays; an empty name is `sustituto` alone.
QString componenteSeguro(QString nombre, QChar sustituto = QLatin1Char('_'));

// The listing said the recording holds `esperado` bytes (0: it did not say). Fewer at
// `ruta` means the device cut the transfer short, however cleanly the connection ended:
// throws ErrorCamara and removes the file.
void exigirTamano(const QString& ruta, int64_t esperado);

// What a device sent instead of a recording, told by its first bytes: a status document
// (any XML, Hikvision's <ResponseStatus>) or a web page, which no video container starts
// like. The device's own status text ("" when it says none); absent for anything else.
std::optional<QString> avisoEnLugarDeVideo(const QByteArray& cabeza);
// Throws ErrorCamara with the device's text, and removes the file, when `ruta` holds such
// a reply.
void rechazarAviso(const QString& ruta);

// An exclusive lock on a partial file while it is written, dropped by the kernel when the
// process ends however it ends; the file is created when missing. A later run tells the
// partial files of a killed run from those being written by this lock alone.
class BloqueoParcial {
public:
    explicit BloqueoParcial(QString ruta);
    ~BloqueoParcial();
    BloqueoParcial(const BloqueoParcial&) = delete;
    BloqueoParcial& operator=(const BloqueoParcial&) = delete;
    // A writer may have put a new file at the path (a rename onto it): lock that one.
    void renovar();

private:
    void tomar();
    QString ruta;
    int fd = -1;
};
// Removes the file at `ruta` unless a live process holds its BloqueoParcial; true when
// removed.
bool quitarSiAbandonado(const QString& ruta);

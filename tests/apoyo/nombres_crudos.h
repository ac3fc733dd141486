#pragma once
// Files and folders whose names are bytes that are not UTF-8 ("caf\xe9"), made through the
// system calls: Qt would re-encode such a name on the way.
#include <QByteArray>

// Creates the folder; false when it could not.
bool crearCarpetaCruda(const QByteArray& ruta);
// Writes the file whole; false when it could not.
bool escribirCrudo(const QByteArray& ruta, const QByteArray& datos);
// The whole file; empty when it cannot be read.
QByteArray leerCrudo(const QByteArray& ruta);

// A temporary folder that is removed with everything in it, names Qt cannot spell
// included (QTemporaryDir leaves those behind).
class CarpetaCrudaTemporal {
public:
    CarpetaCrudaTemporal();
    ~CarpetaCrudaTemporal();
    CarpetaCrudaTemporal(const CarpetaCrudaTemporal&) = delete;
    CarpetaCrudaTemporal& operator=(const CarpetaCrudaTemporal&) = delete;
    // Empty when it could not be made.
    const QByteArray& ruta() const { return ruta_; }

private:
    QByteArray ruta_;
};

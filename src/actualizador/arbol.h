#pragma once
// Folders the updater makes and removes.
#include <QString>

// Whether something (a link included, even a dangling one) is at the path.
bool existe(const QString& ruta);

// Removes a file, a link (never what it points to) or a whole folder tree, first giving
// the owner write permission on every folder in it: a package may hold read-only
// folders, and what we unpacked or replaced must never be left behind because of them.
bool borrarArbol(const QString& ruta);

// A new folder with a unique name from `plantilla` (ending in "XXXXXX"), never one
// that existed before; removed with everything in it when the object ends.
class CarpetaNueva {
public:
    explicit CarpetaNueva(const QString& plantilla);
    ~CarpetaNueva();
    CarpetaNueva(const CarpetaNueva&) = delete;
    CarpetaNueva& operator=(const CarpetaNueva&) = delete;
    bool valida() const { return !ruta_.isEmpty(); }
    QString ruta() const { return ruta_; }

private:
    QString ruta_;
};

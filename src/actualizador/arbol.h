#pragma once
// Folders the updater makes and removes.
#include <QString>

// Whether something (a link included, even a dangling one) is at the path.
bool existe(const QString& ruta);

// Removes a file, a link (never what it points to) or a whole folder tree, first giving
// the owner write permission on every folder in it: a package may hold read-only
// folders, and what we unpacked or replaced must never be left behind because of them.
bool borrarArbol(const QString& ruta);

// Gives every folder below `raiz` (itself included) the mode 0755 and every file 0755
// when the package had any executable bit on it, else 0644: what the archive said of
// owners, set-id bits and write permission for others is never installed. Links keep
// theirs (the system ignores them). False when a mode could not be set.
bool normalizarModos(const QString& raiz);

// Removes what runs that died left in `carpeta`: every folder named `base` or starting
// with `base` + "-", of our own user, that no living run holds (see CarpetaNueva).
void quitarRestos(const QString& carpeta, const QString& base);

// Writes to the disk what is pending: the whole file system that holds `ruta`, or only
// the folder itself (its entries: a rename into it). 0 or an errno value.
int volcar(const QString& ruta, bool sistemaEntero);

// A new folder with a unique name from `plantilla` (ending in "XXXXXX"), never one
// that existed before; removed with everything in it when the object ends. It is
// locked while the object lives, so that quitarRestos can tell a dead run's folder
// from a living one's.
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
    int fd = -1;
};

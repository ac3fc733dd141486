#pragma once
// Drives and folders as sources of recordings: mounted volumes, the sub-folders of a
// folder, and every recording below a drive or folder. Nothing here reports errors:
// what cannot be read is skipped.
#include "grabadores/modelo.h"

#include <QList>
#include <QString>

// Mounted drives worth offering (under /media, /run/media, /mnt, and network shares;
// never "/"), read from <raiz>/proc/self/mountinfo and <raiz>/sys/class/block. Tests hand
// in a fake tree as `raiz`; the paths of the drives found then lie inside it too.
QList<OrigenPtr> buscarUnidades(const QString& raiz = QString());

// The folder's visible sub-folders in file-browser order (cam2 before cam10).
QList<OrigenPtr> subcarpetas(const QString& carpeta);
bool tieneSubcarpetas(const QString& carpeta);

// Recordings anywhere below the source's path, hidden files and folders skipped, at
// most MAXIMO_GRABACIONES of them.
QList<FicheroPtr> listarUnidad(const OrigenPtr& origen);
constexpr int MAXIMO_GRABACIONES = 20000;

// One line of the kernel's mount table.
struct Montaje {
    QString dispositivo;  // "8:17"
    QString punto;        // where it is mounted, unescaped
    QString sistema;      // file-system type
    QString origen;       // "/dev/sdb1", "servidor:/export"...
};
// The mounts of a mount table (the text of /proc/self/mountinfo) worth offering, in table
// order; of two on one path, the later.
QList<Montaje> leerMontajes(const QByteArray& tabla);
// The label an entry of /dev/disk/by-label names, its \xNN escapes undone.
QString etiquetaDeEnlace(const QString& enlace);

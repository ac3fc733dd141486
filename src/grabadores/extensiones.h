#pragma once
// File-name extensions that count as recordings on drives, folders, FTP servers and memory
// cards: lower case, with their leading dot. Recorders export snapshots beside their videos,
// so still images are offered too.
#include <QSet>
#include <QString>

extern const QSet<QString> EXTENSIONES;

// Whether "." + the name's extension, lower-cased, is in EXTENSIONES.
bool esGrabacion(const QString& nombre);

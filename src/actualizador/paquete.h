#pragma once
// What a package holds, as tar lists it, before anything of it touches the disk.
#include <QList>
#include <QString>
#include <optional>

struct Miembro {
    QString nombre;  // "ZorvPlayer/..." without a trailing "/"
    char tipo = '-'; // '-' file, 'd' folder, 'l' symbolic link, 'h' hard link
    qint64 tamano = 0;
    QString destino; // of a link, as stored
};

// Whether every "/"-separated part of the path is a plain name: none empty, "." or "..".
bool partesPlanas(const QString& ruta);

// Reads the output of `tar -tvzf P --quoting-style=c --numeric-owner`. Nothing when a
// member is unsafe to unpack: outside "ZorvPlayer/", with an empty, "." or ".." part,
// listed twice, of another kind (device, fifo), below a symbolic link, a hard link to
// anything but a file listed before it, or a symbolic link that is absolute or climbs
// out of the tree once the package's own links are followed.
std::optional<QList<Miembro>> leerListado(const QString& listado);

// Lists the package with tar and reads the listing; nothing when tar cannot list it.
std::optional<QList<Miembro>> listarPaquete(const QString& ruta);

// Whether the package can be listed and passes leerListado.
bool paqueteSeguro(const QString& ruta);

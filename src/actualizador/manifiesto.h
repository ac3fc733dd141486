#pragma once
// The signed manifest of a package: every file and link below "ZorvPlayer" with its
// digest, the signing team and the version it was published as. Its lines are
//   <sha256 of the file, 64 lower-case hex>  <relative path>
//   <sha256 of the target text>  <relative path> -> <target>     (a symbolic link)
//   TeamIdentifier=Q7X2KM4ZRT
//   Version=<version>
// and ".firma/manifiesto.sig" holds the hex signature of the manifest's bytes.
#include "actualizador/paquete.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <optional>

struct EntradaManifiesto {
    QString digesto;
    bool enlace = false;
    QString destino; // of a link
};

struct Manifiesto {
    QHash<QString, EntradaManifiesto> entradas; // by path relative to "ZorvPlayer"
    bool equipo = false;                        // the maker's team line is present
    QString version;                            // empty when there is no version line
};

// Nothing when a line is of no known form, a path is absolute, has an empty, "." or
// ".." part, lies in ".firma" or comes twice, a link's digest is not that of its
// target, or the version line comes twice.
std::optional<Manifiesto> leerManifiesto(const QByteArray& texto);

// The manifest, only when the signature verifies with the built-in key, the team line
// is present and the version line names `version`.
std::optional<Manifiesto> manifiestoFirmado(const QByteArray& texto, const QString& firmaHex,
                                            const QString& version);

// Whether the package lists exactly what the manifest names (folders aside, and the
// two signature files), files as files or hard links, links with the same target.
bool listadoCoincide(const QList<Miembro>& listado, const Manifiesto& manifiesto);

// Whether the tree at n holds exactly what the manifest names with those digests, and
// every link resolves to something inside n.
bool arbolCoincide(const QString& n, const Manifiesto& manifiesto);

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
#include <QSet>
#include <QString>
#include <optional>

// A manifest of 20 000 files takes about 2 MiB; past this bound it is not read.
constexpr qint64 kMaximoManifiesto = qint64(16) << 20;

struct EntradaManifiesto {
    QString digesto;
    bool enlace = false;
    QString destino; // of a link
};

struct Manifiesto {
    QHash<QString, EntradaManifiesto> entradas; // by path relative to "ZorvPlayer"
    QSet<QString> carpetas;                     // every folder holding an entry
    bool equipo = false;                        // the maker's team line is present
    QString version;                            // empty when there is no version line
};

// Nothing when a line is of no known form, a path is absolute, has an empty, "." or
// ".." part, lies in ".firma" or comes twice, a link's digest is not that of its
// target, or the version line comes twice.
std::optional<Manifiesto> leerManifiesto(const QByteArray& texto);

// The digest a link's line carries: SHA-256 of its target text.
QString digestoEnlace(const QString& destino);

// The manifest's text: entries in path order, then the team and version lines.
QByteArray textoManifiesto(const Manifiesto& manifiesto);

// The manifest, only when the signature verifies with the built-in key, the team line
// is present and the version line names `version`.
std::optional<Manifiesto> manifiestoFirmado(const QByteArray& texto, const QString& firmaHex,
                                            const QString& version);

// Whether the package lists exactly what the manifest names (and the two signature
// files), files as files or hard links, links with the same target, and no folder but
// those that hold them: nobody signed an empty folder.
bool listadoCoincide(const QList<Miembro>& listado, const Manifiesto& manifiesto);

// Whether the tree at n holds exactly what the manifest names with those digests, every
// link resolves to something inside n, and every folder is one that holds an entry,
// with the modes normalizarModos gives.
bool arbolCoincide(const QString& n, const Manifiesto& manifiesto);

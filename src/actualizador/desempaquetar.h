#pragma once
// Unpacking a prepared package, trusting nothing in it before its signed manifest.
#include "actualizador/manifiesto.h"

#include <QString>

struct Desempaquetado {
    // NoAbre: tar cannot list or unpack it, it holds an unsafe member, or it would
    // expand beyond the bound. NoFirmado: the manifest is missing, unsigned, of another
    // team or version, or does not match what the package holds.
    enum Estado { Abierto, NoAbre, NoFirmado } estado = NoAbre;
    Manifiesto manifiesto;
};

// Unpacks package p into the private folder m ("ZorvPlayer" below it) for the given
// version, from a copy of p in m: first only the signature files, then, once the manifest verifies and
// names every member, the whole package when its size stays within `maximo` bytes and
// the free space of m; last, the modes are normalised and the unpacked tree is checked
// against the manifest.
Desempaquetado desempaquetar(const QString& p, const QString& m, const QString& version, qint64 maximo);

#pragma once
// The hash of a download that may take several tries. The first try's reader goes on
// through the later ones, so a resumed file is not hashed again from its first byte: for a
// 1 GiB recording cut five times that was about 2.5 GiB more to hash, on a machine whose
// cores the download itself keeps busy. The reader's work is kept only while nobody but the
// download could have touched the file: between tries it must stay exactly as the last try
// left it (same inode, size, and modification and change times to the nanosecond), and no
// try may have gone back over bytes it found there; otherwise the file is hashed again from
// its first byte.
#include "camaras/huella.h"
#include "grabadores/modelo.h"

#include <QString>
#include <optional>
#include <sys/stat.h>

class HuellaPorIntentos {
public:
    explicit HuellaPorIntentos(QString ruta);
    // Before each try.
    void empiezaIntento();
    // After each try, whether it ended well or not; `r` as the try left it.
    void acabaIntento(const Reanudacion& r);
    // The hash of `guardado`, the file kept as the evidence: another file than the one
    // followed is read whole.
    std::optional<Huella> terminar(const QString& guardado);
    // Times the followed file had to be read again from its first byte between tries.
    int lecturasDeNuevo() const { return deNuevo; }
    // Bytes hashed so far by the current reader (tests wait on it).
    int64_t leidos() const { return seguidor ? seguidor->leidos() : 0; }

private:
    std::optional<struct stat> marca() const;

    const QString ruta;
    std::optional<SeguidorHash> seguidor;
    std::optional<struct stat> alAcabar;
    bool reescrito = false;
    int deNuevo = 0;
};

#pragma once
// SHA-256 of recordings as their bytes arrive. The protocol routines write straight into
// a file path (curl, ffmpeg, the web client), so the bytes cannot be handed to us on the
// way; instead a reader follows the file while it grows and hashes each new stretch from
// the page cache right after it lands, beside the writer, never as a second pass over
// the disk.
#include "camaras/operaciones.h"
#include "comun/sha256.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

struct Huella {
    QString sha256;        // 64 lower-case hex digits
    int64_t bytes = 0;
    bool repasado = false;  // the writer went back over bytes already hashed: read again
};

// Follows the file at `ruta` (which may not exist yet) until `terminar`. Writers that only
// append are hashed in one pass. A writer that rewrites what it wrote (ffmpeg moving the
// MP4 index to the front at the end, a truncation, a replaced file) is caught by keeping
// the first 64 KiB and the inode as hashed: the file is then hashed again from its final
// bytes, which `repasado` reports. The reader looks every 50 ms rather than at each of the
// writer's progress calls (thousands a second for a fast download), so it reads in large
// stretches and costs the writer next to nothing. Writeback of what was read is started
// on the way, a few MiB at a time, so that the final flush before the rename is short.
class SeguidorHash {
public:
    explicit SeguidorHash(QString ruta);
    ~SeguidorHash();
    SeguidorHash(const SeguidorHash&) = delete;
    SeguidorHash& operator=(const SeguidorHash&) = delete;

    // The writer is done: hash the rest and check the head. Nothing if the file cannot be
    // read at all.
    std::optional<Huella> terminar();
    // Bytes hashed so far (tests wait on it).
    int64_t leidos() const { return hechos.load(); }

private:
    void bucle();
    bool leerNuevo();
    void empezarDeNuevo();
    bool abrir();
    bool cabezaIntacta();
    void cerrar();

    const QString ruta;
    std::mutex m;
    std::condition_variable cv;
    bool fin = false;
    std::thread hilo;

    int fd = -1;
    uint64_t dispositivo = 0, inodo = 0;
    int64_t leido = 0;
    int64_t volcado = 0;  // writeback asked for up to here
    std::atomic<int64_t> hechos{0};
    bool repasado = false;
    QByteArray cabeza;
    QByteArray bloque;
    Sha256 sha;
};

// Copies `origen` into `destino` (created or truncated), hashing on the way, with
// progress by bytes copied; keeps the source's modification time. Throws ErrorCamara
// with the system's reason.
Huella copiarConHuella(const QString& origen, const QString& destino, const Progreso& progreso);

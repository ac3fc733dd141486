#pragma once
// SHA-256 of data as it comes: recordings hashed as they download, update packages and
// the files they unpack. OpenSSL rather than QCryptographicHash: it uses the processor's
// SHA instructions, several times faster on recordings of many gigabytes.
#include <QString>
#include <cstdint>

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void anadir(const char* datos, int64_t n);
    void reiniciar();
    // 64 lower-case hex digits; empty if the digest could not be computed. Ends this
    // digest: call reiniciar() before reusing.
    QString hex();

private:
    struct Contexto;
    Contexto* ctx;
};

// SHA-256 of a file as 64 lower-case hex digits; empty when it cannot be read.
QString sha256DeArchivo(const QString& ruta);

#include "comun/sha256.h"

#include <QByteArray>
#include <QFile>
#include <openssl/evp.h>

struct Sha256::Contexto {
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    bool bien = false; // every call so far succeeded
    ~Contexto() { EVP_MD_CTX_free(md); }
};

Sha256::Sha256()
    : ctx(new Contexto)
{
    reiniciar();
}

Sha256::~Sha256() { delete ctx; }

void Sha256::reiniciar()
{
    ctx->bien = ctx->md && EVP_DigestInit_ex(ctx->md, EVP_sha256(), nullptr) == 1;
}

void Sha256::anadir(const char* datos, int64_t n)
{
    if (n > 0 && ctx->bien)
        ctx->bien = EVP_DigestUpdate(ctx->md, datos, size_t(n)) == 1;
}

QString Sha256::hex()
{
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int largo = 0;
    const bool bien = ctx->bien && EVP_DigestFinal_ex(ctx->md, md, &largo) == 1;
    ctx->bien = false;
    if (!bien)
        return QString();
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(md), int(largo)).toHex());
}

QString sha256DeArchivo(const QString& ruta)
{
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadOnly))
        return QString();
    Sha256 sha;
    QByteArray bloque(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 n = archivo.read(bloque.data(), bloque.size());
        if (n < 0)
            return QString();
        if (n == 0)
            return sha.hex();
        sha.anadir(bloque.constData(), n);
    }
}

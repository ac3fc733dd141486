#include "actualizador/firma.h"

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace {

constexpr char kModulo[] = ZORV_MODULO;
static_assert(sizeof(kModulo) == 768 + 1, "the update key is a 3072-bit RSA key");

int nibble(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

} // namespace

std::optional<QByteArray> hexADatos(const QString& hex)
{
    if (hex.size() % 2 != 0)
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(hex.size() / 2);
    for (qsizetype i = 0; i < hex.size(); i += 2) {
        const int alto = nibble(hex[i]);
        const int bajo = nibble(hex[i + 1]);
        bytes.append(alto < 0 || bajo < 0 ? char(0) : char(alto * 16 + bajo));
    }
    return bytes;
}

QByteArray derLongitud(uint64_t n)
{
    if (n < 128)
        return QByteArray(1, char(n));
    QByteArray cuerpo;
    while (n > 0) {
        cuerpo.prepend(char(n & 0xff));
        n >>= 8;
    }
    return char(0x80 + cuerpo.size()) + cuerpo;
}

QByteArray derEntero(const QByteArray& bytes)
{
    QByteArray valor = bytes;
    if (!valor.isEmpty() && static_cast<unsigned char>(valor[0]) >= 0x80)
        valor.prepend(char(0));
    return char(0x02) + derLongitud(static_cast<uint64_t>(valor.size())) + valor;
}

QByteArray clavePublicaDER()
{
    const QByteArray cuerpo = derEntero(*hexADatos(QString::fromLatin1(kModulo)))
        + derEntero(QByteArray("\x01\x00\x01", 3));
    return char(0x30) + derLongitud(static_cast<uint64_t>(cuerpo.size())) + cuerpo;
}

bool firmaValidaDatos(const QByteArray& mensaje, const QString& firmaHex)
{
    const std::optional<QByteArray> firma = hexADatos(firmaHex);
    if (!firma || firma->isEmpty())
        return false;
    const QByteArray clave = clavePublicaDER();
    const unsigned char* p = reinterpret_cast<const unsigned char*>(clave.constData());
    EVP_PKEY* pkey = d2i_PublicKey(EVP_PKEY_RSA, nullptr, &p, clave.size());
    if (!pkey)
        return false;
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    bool valida = false;
    if (ctx && EVP_DigestVerifyInit(ctx, nullptr, EVP_sha256(), nullptr, pkey) == 1) {
        valida = EVP_DigestVerify(ctx, reinterpret_cast<const unsigned char*>(firma->constData()),
                                  static_cast<size_t>(firma->size()),
                                  reinterpret_cast<const unsigned char*>(mensaje.constData()),
                                  static_cast<size_t>(mensaje.size()))
            == 1;
    }
    EVP_MD_CTX_free(ctx);
    EVP_PKEY_free(pkey);
    return valida;
}

bool firmaValida(const QString& sha, const QString& firmaHex)
{
    return firmaValidaDatos(sha.toUtf8(), firmaHex);
}

// The digests recordings and update packages are checked by: a wrong one would either
// refuse a good update or vouch for evidence that changed.
#include "apoyo/programa.h"
#include "comun/sha256.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Sha256, VectoresConocidosEnUnoOEnTrozos)
{
    struct Caso {
        QByteArray datos;
        const char* hex;
    };
    const Caso casos[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {QByteArray(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    // One object for every case: reiniciar() must leave nothing of the previous digest.
    Sha256 sha;
    for (const Caso& k : casos) {
        for (const int64_t trozo : {int64_t(1), int64_t(7), int64_t(65536), int64_t(k.datos.size() + 1)}) {
            sha.reiniciar();
            for (int64_t i = 0; i < k.datos.size(); i += trozo)
                sha.anadir(k.datos.constData() + i, std::min<int64_t>(trozo, k.datos.size() - i));
            sha.anadir(k.datos.constData(), 0);
            EXPECT_EQ(sha.hex(), QString::fromLatin1(k.hex)) << k.datos.size() << " in pieces of " << trozo;
        }
    }
}

TEST(Sha256, DeArchivo)
{
    QTemporaryDir dir;
    // Past one 64 KiB block and not a multiple of it.
    QByteArray datos(200001, Qt::Uninitialized);
    for (qsizetype i = 0; i < datos.size(); ++i)
        datos[i] = char(i * 31 % 251);
    const QString ruta = dir.filePath(QStringLiteral("paquete"));
    ASSERT_TRUE(escribirArchivo(ruta, datos));
    EXPECT_EQ(sha256DeArchivo(ruta),
              QString::fromLatin1(QCryptographicHash::hash(datos, QCryptographicHash::Sha256).toHex()));
    EXPECT_EQ(sha256DeArchivo(dir.filePath(QStringLiteral("falta"))), QString());
    EXPECT_EQ(sha256DeArchivo(dir.path()), QString());
}

// Names that are bytes: arguments and file names that are not UTF-8 must come back as the
// very same bytes, or the folder reads as missing and the frame is never listed.
#include "apoyo/nombres_crudos.h"
#include "comun/fotogramas.h"
#include "comun/nombres.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

QList<QByteArray> comoBytes(const QStringList& nombres)
{
    QList<QByteArray> r;
    for (const QString& n : nombres)
        r << bytesDeTexto(n);
    std::sort(r.begin(), r.end());
    return r;
}

} // namespace

TEST(Nombres, CualquierSecuenciaDeBytesVuelveIgual)
{
    const QByteArray casos[] = {
        "",
        "ascii",
        "caf\xc3\xa9",            // valid UTF-8
        "caf\xe9",                // Latin-1
        "000100\xff.png",
        "\xc0\xaf",               // overlong "/"
        "\xed\xa0\x80",           // an encoded surrogate
        "\xed\xb2\x80",           // the encoded form of an escape character itself
        "\xf4\x90\x80\x80",       // past U+10FFFF
        "\xe2\x82",               // cut short
        "\xf0\x9f\x98\x80\xff",   // a character outside the BMP, then a stray byte
        "\x80\x80\x80",
        "\xef\xbb\xbfvideo.mp4",  // begins with a byte-order mark
        "\xff\xef\xbb\xbfx",       // a mark right after a stray byte
    };
    for (const QByteArray& b : casos)
        EXPECT_EQ(bytesDeTexto(textoDeBytes(b)), b) << b.toHex().toStdString();
}

TEST(Nombres, ElTextoCorrienteEsSuUtf8)
{
    for (const QString& t : {QStringLiteral("año"), QStringLiteral("vídeo 😀.mp4"), QString(),
                             QStringLiteral("a\u00e9\u4e2d")}) {
        EXPECT_EQ(textoDeBytes(t.toUtf8()), t);
        EXPECT_EQ(bytesDeTexto(t), t.toUtf8());
    }
}

TEST(Nombres, CarpetaYFotogramasQueNoSonUtf8)
{
    CarpetaCrudaTemporal raiz;
    ASSERT_FALSE(raiz.ruta().isEmpty());
    const QByteArray base = raiz.ruta() + "/caf\xe9";
    ASSERT_TRUE(crearCarpetaCruda(base));
    ASSERT_TRUE(escribirCrudo(base + "/000100\xff.png", "x"));
    ASSERT_TRUE(escribirCrudo(base + "/000101.png", "x"));
    ASSERT_TRUE(crearCarpetaCruda(base + "/sub\xfe.png"));

    const QString carpeta = textoDeBytes(base);
    EXPECT_EQ(comoBytes(nombresEnCarpeta(carpeta)),
              (QList<QByteArray>{"000100\xff.png", "000101.png", "sub\xfe.png"}));
    // A sub-folder is no frame, whatever its name ends in.
    EXPECT_EQ(comoBytes(listarFotogramas(carpeta, QStringLiteral(".png"))),
              (QList<QByteArray>{"000100\xff.png", "000101.png"}));
    const auto info = infoEntrada(textoDeBytes(base + "/sub\xfe.png"));
    ASSERT_TRUE(info.has_value());
    EXPECT_TRUE(info->carpeta);
    EXPECT_TRUE(info->modificada.isValid());
    EXPECT_FALSE(infoEntrada(textoDeBytes(base + "/falta")).has_value());
}

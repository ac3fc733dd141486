#include "actualizador/actualizador.h"
#include "actualizador/firma.h"
#include "apoyo_actualizador.h"

#include <gtest/gtest.h>

namespace {

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(h);
}

} // namespace

TEST(FirmaDER, LongitudesEnterosYHex)
{
    EXPECT_EQ(derLongitud(0), hex("00"));
    EXPECT_EQ(derLongitud(127), hex("7f"));
    EXPECT_EQ(derLongitud(128), hex("8180"));
    EXPECT_EQ(derLongitud(255), hex("81ff"));
    EXPECT_EQ(derLongitud(256), hex("820100"));
    EXPECT_EQ(derLongitud(385), hex("820181"));
    EXPECT_EQ(derLongitud(394), hex("82018a"));

    EXPECT_EQ(derEntero(hex("010001")), hex("0203010001"));
    EXPECT_EQ(derEntero(hex("80")), hex("02020080"));
    EXPECT_EQ(derEntero(hex("007f")), hex("0202007f"));
    EXPECT_EQ(derEntero(QByteArray()), hex("0200"));

    EXPECT_EQ(hexADatos(QStringLiteral("0aFF")), hex("0aff"));
    EXPECT_EQ(hexADatos(QStringLiteral("zz")), QByteArray(1, '\0'));
    EXPECT_EQ(hexADatos(QString()), QByteArray());
    EXPECT_FALSE(hexADatos(QStringLiteral("abc")).has_value());
}

TEST(FirmaDER, ClaveIncorporadaTieneLaFormaPKCS1)
{
    const QByteArray clave = clavePublicaDER();
    ASSERT_EQ(clave.size(), 398);
    EXPECT_EQ(clave.left(9), hex("3082018a0282018100"));
    EXPECT_EQ(clave.right(5), hex("0203010001"));
}

TEST(Firma, SoloElTextoEnMinusculasYCualquierCasoDeHex)
{
    const QString sha = sha256Hex("paquete");
    const QString firma = firmar(sha.toUtf8());
    ASSERT_EQ(firma.size(), 768);
    EXPECT_TRUE(firmaValida(sha, firma));
    EXPECT_TRUE(firmaValida(sha, firma.toUpper()));
    EXPECT_FALSE(firmaValida(sha, firmar(sha.toUpper().toUtf8())));
    EXPECT_FALSE(firmaValida(sha.toUpper(), firma));
    EXPECT_FALSE(firmaValida(sha, firma.left(767)));
    EXPECT_FALSE(firmaValida(sha, QString()));
    QString otra = firma;
    otra[10] = otra[10] == QLatin1Char('0') ? QLatin1Char('1') : QLatin1Char('0');
    EXPECT_FALSE(firmaValida(sha, otra));
}

TEST(Version, MasNueva)
{
    EXPECT_TRUE(masNueva(QStringLiteral("1.10"), QStringLiteral("1.9")));
    EXPECT_FALSE(masNueva(QStringLiteral("1.2"), QStringLiteral("1.2.0")));
    EXPECT_TRUE(masNueva(QStringLiteral("1.2.1"), QStringLiteral("1.2")));
    EXPECT_FALSE(masNueva(QStringLiteral("2"), QStringLiteral("10")));
    EXPECT_FALSE(masNueva(QStringLiteral("1.2b"), QStringLiteral("1.1")));
    EXPECT_TRUE(masNueva(QStringLiteral("1..3"), QStringLiteral("1.2")));
    EXPECT_TRUE(masNueva(QStringLiteral("0.0.1"), QStringLiteral("0.0.0")));
    EXPECT_FALSE(masNueva(QStringLiteral("0"), QStringLiteral("0.0.0")));
}

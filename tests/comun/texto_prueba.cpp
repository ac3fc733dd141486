#include "comun/texto.h"

#include <gtest/gtest.h>


TEST(Texto, numeroDecimalAceptaSoloUnLiteralCompleto)
{
    EXPECT_EQ(numeroDecimal("2"), 2.0);
    EXPECT_EQ(numeroDecimal("0.5"), 0.5);
    EXPECT_EQ(numeroDecimal("1e1"), 10.0);
    EXPECT_EQ(numeroDecimal("-3.25"), -3.25);
    EXPECT_FALSE(numeroDecimal("abc"));
    EXPECT_FALSE(numeroDecimal(" 2"));
    EXPECT_FALSE(numeroDecimal("2 "));
    EXPECT_FALSE(numeroDecimal(""));
    EXPECT_FALSE(numeroDecimal("2,5"));
    EXPECT_FALSE(numeroDecimal("1,000"));
}

TEST(Texto, numeroDecimalNoTomaNiNanNiInfinitos)
{
    // What from_chars would take as a number but no caller can mean.
    for (const char* t : {"nan", "NaN", "-nan", "+nan", "nan(1)", "inf", "-inf", "+inf", "INF",
                          "infinity", "-Infinity", "1e400", "-1e400", "+", "-", "."})
        EXPECT_FALSE(numeroDecimal(QString::fromLatin1(t))) << t;
    struct Caso {
        const char* texto;
        double valor;
    };
    for (const Caso& k : {Caso{"+2", 2.0}, Caso{".5", 0.5}, Caso{"-.5", -0.5}, Caso{"+1e1", 10.0},
                          Caso{"3600", 3600.0}})
        EXPECT_EQ(numeroDecimal(QString::fromLatin1(k.texto)), k.valor) << k.texto;
}

TEST(Texto, enteroDecimalSinEspaciosNiFraccion)
{
    EXPECT_EQ(enteroDecimal("120"), 120);
    EXPECT_EQ(enteroDecimal("-7"), -7);
    EXPECT_EQ(enteroDecimal("+7"), 7);
    EXPECT_EQ(enteroDecimal("000120"), 120);
    EXPECT_FALSE(enteroDecimal("1.5"));
    EXPECT_FALSE(enteroDecimal(" 2"));
    EXPECT_FALSE(enteroDecimal("2 "));
    EXPECT_FALSE(enteroDecimal("+-2"));
    EXPECT_FALSE(enteroDecimal(""));
    EXPECT_FALSE(enteroDecimal("99999999999"));
    EXPECT_FALSE(enteroDecimal(QStringLiteral("１２"))); // full-width digits are no number
}

TEST(Texto, tamanoLegibleEnSusCuatroEscalones)
{
    EXPECT_EQ(tamanoLegible(0), "0 B");
    EXPECT_EQ(tamanoLegible(-5), "-5 B");
    EXPECT_EQ(tamanoLegible(1023), "1023 B");
    EXPECT_EQ(tamanoLegible(1024), "1 KB");
    EXPECT_EQ(tamanoLegible(1048576), "1 MB");
    EXPECT_EQ(tamanoLegible(1073741823), "1024 MB");
    EXPECT_EQ(tamanoLegible(1073741824), "1.0 GB");
    EXPECT_EQ(tamanoLegible(1610612736), "1.5 GB");
}

TEST(Texto, limpioSustituyeLosNueveYRecortaSoloEspaciosHorizontales)
{
    EXPECT_EQ(limpio(QStringLiteral("  caso: 12/3 ")), QStringLiteral("caso- 12-3"));
    EXPECT_EQ(limpio(QStringLiteral("a\\b/c:d*e?f\"g<h>i|j")), QStringLiteral("a-b-c-d-e-f-g-h-i-j"));
    EXPECT_EQ(limpio(QStringLiteral("\t Robo en Málaga. \t")), QStringLiteral("Robo en Málaga."));
    EXPECT_EQ(limpio(QStringLiteral("\u00a0nombre\u3000")), QStringLiteral("nombre"));
    EXPECT_EQ(limpio(QStringLiteral("   ")), QString());
}

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

#include "rafaga/reserva_miniaturas.h"

#include <gtest/gtest.h>

namespace {

QImage lisa(const QSize& tam, QRgb color)
{
    QImage img(tam, QImage::Format_RGB888);
    img.fill(color);
    return img;
}

} // namespace

TEST(ReservaMiniaturas, HuecosQueVuelvenYCopiasQueSobreviven)
{
    auto reserva = ReservaMiniaturas::crear(3 * 692 * 130, QSize(230, 130));
    ASSERT_EQ(reserva->libres(), 3);
    QList<QImage> guardadas;
    for (QRgb c : {qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200)})
        guardadas << reserva->guardar(lisa(QSize(230, 129), c));
    EXPECT_EQ(reserva->libres(), 0);
    EXPECT_EQ(guardadas[1].size(), QSize(230, 129));
    EXPECT_EQ(guardadas[1].pixel(229, 128), qRgb(0, 200, 0));
    EXPECT_EQ(guardadas[2].pixel(0, 0), qRgb(0, 0, 200));

    // No slot free, or too big for one: a copy of its own, just as good.
    const QImage sinHueco = reserva->guardar(lisa(QSize(10, 10), qRgb(1, 2, 3)));
    const QImage grande = reserva->guardar(lisa(QSize(300, 200), qRgb(4, 5, 6)));
    EXPECT_EQ(sinHueco.pixel(9, 9), qRgb(1, 2, 3));
    EXPECT_EQ(grande.size(), QSize(300, 200));
    EXPECT_EQ(reserva->libres(), 0);

    // A slot comes back when the last copy of its picture goes.
    QImage otra = guardadas[0];
    guardadas[0] = QImage();
    EXPECT_EQ(reserva->libres(), 0);
    otra = QImage();
    EXPECT_EQ(reserva->libres(), 1);
    EXPECT_EQ(reserva->guardar(lisa(QSize(50, 130), qRgb(7, 8, 9))).pixel(49, 129), qRgb(7, 8, 9));
    EXPECT_EQ(reserva->libres(), 1);

    // Pictures outlive whoever made the block.
    reserva.reset();
    EXPECT_EQ(guardadas[2].pixel(100, 100), qRgb(0, 0, 200));
    guardadas.clear();
}

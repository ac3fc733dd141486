// Work on several threads handed back in order, and stopped part of the way.
#include "analisis/en_orden.h"

#include <atomic>
#include <gtest/gtest.h>

TEST(EnOrden, RecibeEnOrdenYParaSinEmpezarMuchoMas)
{
    struct Caso {
        int n, hilos, adelanto, pararEn; // pararEn: last item received, -1 for all
    };
    for (const Caso& c : {Caso{0, 2, 4, -1}, Caso{1, 3, 2, -1}, Caso{57, 2, 4, -1}, Caso{100, 2, 4, 10},
                          Caso{100, 1, 1, 10}, Caso{100, 3, 3, 0}}) {
        std::atomic<int> empezados{0};
        std::vector<int> recibidos;
        enOrden<int>(
            c.n, c.hilos, c.adelanto,
            [&](int i, int hilo) {
                EXPECT_LT(hilo, c.hilos);
                ++empezados;
                return i * i;
            },
            [&](int i, int&& r) {
                EXPECT_EQ(r, i * i);
                recibidos.push_back(i);
                return i != c.pararEn;
            });
        const int esperados = c.pararEn < 0 ? c.n : c.pararEn + 1;
        ASSERT_EQ(static_cast<int>(recibidos.size()), esperados) << c.n << " " << c.hilos;
        for (int i = 0; i < esperados; ++i)
            EXPECT_EQ(recibidos[static_cast<size_t>(i)], i);
        // No worker runs more than the look-ahead past what was received.
        EXPECT_LE(empezados.load(), std::min(c.n, esperados + std::max(c.adelanto, c.hilos)));
    }
}

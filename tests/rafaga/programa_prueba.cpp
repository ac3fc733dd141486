// The whole program on a virtual display, driven with the mouse and the keyboard.
#include "apoyo/impresion.h"
#include "apoyo/pantalla.h"
#include "apoyo/rafaga.h"

#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// Nine captures, 1 to 9. On the 1280 × 800 display the window is 1000 × 660 and shows
// three columns under a 70-point header.
class GaleriaEnPantalla : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!pantalla.lista())
            GTEST_SKIP() << "sin Xvfb";
        ASSERT_TRUE(escribirRafaga(dir.path(), {1, 2, 3, 4, 5, 6, 7, 8, 9}));
        ejecucion = std::make_unique<Ejecucion>(
            pantalla, QStringList{QStringLiteral("ajustes"), QStringLiteral("rafaga"), dir.path(),
                                  QStringLiteral("2"), QStringLiteral("0")});
        ventana = pantalla.esperarVentana(QStringLiteral("ZorvPlayer - R"));
        ASSERT_FALSE(ventana.isEmpty()) << ejecucion->terminar(100).errores.toStdString();
    }
    // Where the picture of the i-th cell (from 0) is, in the window.
    static QPoint celda(int i)
    {
        return QPoint(12 + (i % 3) * 248 + 118, 70 + 12 + (i / 3) * 190 + 68);
    }
    void pulsar(int i) const
    {
        pantalla.pulsarEn(ventana, celda(i).x(), celda(i).y());
        QThread::msleep(150);
    }

    PantallaVirtual pantalla;
    QTemporaryDir dir;
    std::unique_ptr<Ejecucion> ejecucion;
    QString ventana;
};

} // namespace

TEST_F(GaleriaEnPantalla, SoloConTeclado)
{
    // The grid has the keyboard from the start; three columns, two rows to a page.
    pantalla.teclas({QStringLiteral("Right"), QStringLiteral("space"), QStringLiteral("End"), QStringLiteral("space"),
                     QStringLiteral("Home"), QStringLiteral("Next"), QStringLiteral("space"), QStringLiteral("Prior"),
                     QStringLiteral("space"), QStringLiteral("Home"), QStringLiteral("Down"), QStringLiteral("v")});
    QThread::msleep(300);
    pantalla.teclas({QStringLiteral("space"), QStringLiteral("Escape"), QStringLiteral("Return")});
    const Corrida c = ejecucion->terminar();
    EXPECT_EQ(c.estado, 0) << c.errores.toStdString();
    EXPECT_EQ(QString::fromUtf8(c.salida), QStringLiteral("1,2,4,7,9"));
}

// The X connection closed while thumbnails are still being decoded.
TEST(GaleriaSinPantalla, TerminaSinRomperseNiResponder)
{
    PantallaVirtual pantalla;
    if (!pantalla.lista())
        GTEST_SKIP() << "sin Xvfb";
    QTemporaryDir dir;
    ASSERT_TRUE(escribirRafagaRepetida(dir.path(), 3000));
    Ejecucion e(pantalla, {QStringLiteral("ajustes"), QStringLiteral("rafaga"), dir.path()});
    const QString ventana = pantalla.esperarVentana(QStringLiteral("ZorvPlayer - R"));
    ASSERT_FALSE(ventana.isEmpty());
    ASSERT_TRUE(pantalla.cortarConexion(ventana));
    const Corrida c = e.terminar();
    EXPECT_EQ(c.estado, 1) << "-1: a crash";
    EXPECT_TRUE(c.salida.isEmpty());
}

TEST_F(GaleriaEnPantalla, MarcarTresYGuardar)
{
    for (int i : {4, 0, 2})
        pulsar(i);
    pantalla.teclas({QStringLiteral("Return")});
    const Corrida c = ejecucion->terminar();
    EXPECT_EQ(c.estado, 0) << c.errores.toStdString();
    EXPECT_EQ(QString::fromUtf8(c.salida), QStringLiteral("1,3,5"));
}

TEST_F(GaleriaEnPantalla, CerrarNoDaNada)
{
    pulsar(1);
    ASSERT_TRUE(pantalla.cerrarVentana(ventana));
    const Corrida c = ejecucion->terminar();
    EXPECT_EQ(c.estado, 1);
    EXPECT_TRUE(c.salida.isEmpty());
}

TEST_F(GaleriaEnPantalla, VisorPorDobleClicConEspacioYFlechas)
{
    // The double click's first click marks capture 2; Space in the viewer unmarks it.
    pantalla.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), ventana,
                      QString::number(celda(1).x()), QString::number(celda(1).y()),
                      QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                      QStringLiteral("--delay"), QStringLiteral("60"), QStringLiteral("1")});
    QThread::msleep(400);
    pantalla.teclas({QStringLiteral("space"), QStringLiteral("Right"), QStringLiteral("space"),
                     QStringLiteral("Right"), QStringLiteral("Right"), QStringLiteral("space"),
                     QStringLiteral("Left"), QStringLiteral("Escape")});
    QThread::msleep(200);
    pantalla.teclas({QStringLiteral("Return")});
    const Corrida c = ejecucion->terminar();
    EXPECT_EQ(c.estado, 0) << c.errores.toStdString();
    EXPECT_EQ(QString::fromUtf8(c.salida), QStringLiteral("3,5"));
}

#include "estilo/boton_zorv.h"
#include "estilo/cabecera.h"
#include "estilo/casilla.h"
#include "estilo/color.h"
#include "estilo/etiqueta.h"
#include "estilo/paso.h"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

TEST(Cabecera, AltoSegunHayaSubtitulo)
{
    std::unique_ptr<Fondo> con(cabecera(QStringLiteral("Cámaras"), QStringLiteral("Busca grabadores")));
    std::unique_ptr<Fondo> sin(cabecera(QStringLiteral("Cámaras")));
    con->resize(600, 10);
    sin->resize(600, 10);
    EXPECT_EQ(con->height(), 70);
    EXPECT_EQ(sin->height(), 56);
    EXPECT_EQ(con->color(), Color::turquesa);
    const auto etiquetas = con->findChildren<QLabel*>();
    ASSERT_EQ(etiquetas.size(), 2);
    EXPECT_EQ(etiquetas[0]->font().pixelSize(), 18);
    EXPECT_EQ(etiquetas[1]->font().pixelSize(), 12);
    EXPECT_EQ(etiquetas[1]->palette().color(QPalette::WindowText), Color::subtitulo);
}

TEST(Casilla, SoloElUsuarioAvisa)
{
    QList<bool> avisos;
    Casilla c(QStringLiteral("Guardar .txt"), false, [&](bool v) { avisos << v; });
    c.setMarcada(true);
    EXPECT_TRUE(c.marcada());
    EXPECT_TRUE(avisos.isEmpty());
    c.setMarcada(false);
    EXPECT_TRUE(avisos.isEmpty());

    c.resize(200, 22);
    QTest::mouseClick(&c, Qt::LeftButton, {}, QPoint(6, 11));
    ASSERT_EQ(avisos.size(), 1);
    EXPECT_TRUE(avisos[0]);
    EXPECT_TRUE(c.marcada());

    Casilla muda(QStringLiteral("Sin aviso"), true);
    muda.click();
    EXPECT_FALSE(muda.marcada());
}

TEST(BotonZORV, PulsarConYSinAccion)
{
    BotonZORV sin(QStringLiteral("Nada"));
    sin.click(); // nothing to run, nothing to break

    int veces = 0;
    BotonZORV con(QStringLiteral("Guardar"), true, [&] { ++veces; });
    con.click();
    EXPECT_EQ(veces, 1);
    EXPECT_EQ(con.palette().color(QPalette::Button), Color::turquesa);
}

TEST(BotonZORV, ReturnPulsaElPrincipalEnSuVentana)
{
    QWidget ventana;
    int veces = 0;
    auto* b = new BotonZORV(QStringLiteral("Guardar"), true, [&] { ++veces; }, &ventana);
    b->resize(100, 30);
    ventana.show();
    ventana.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&ventana));
    QTest::keyClick(&ventana, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return veces == 1; }, 2000));
}

TEST(Etiqueta, FuentePesoYColor)
{
    std::unique_ptr<QLabel> l(etiqueta(QStringLiteral("hola"), 11, QFont::DemiBold, Color::gris));
    EXPECT_EQ(l->font().pixelSize(), 11);
    EXPECT_EQ(l->font().weight(), QFont::DemiBold);
    EXPECT_EQ(l->palette().color(QPalette::WindowText), Color::gris);
    EXPECT_TRUE(l->wordWrap());
    EXPECT_EQ(l->textInteractionFlags(), Qt::NoTextInteraction);
}

TEST(Paso, SeMueveEntreLimitesYAvisaSoloAlCambiar)
{
    int avisos = 0;
    Paso p(0.5, 3600, 0.5, 5000, [&] { ++avisos; });
    EXPECT_EQ(p.valor(), 3600);
    p.subir();
    EXPECT_EQ(avisos, 0);
    p.bajar();
    EXPECT_EQ(p.valor(), 3599.5);
    EXPECT_EQ(avisos, 1);
    p.setValor(0);
    EXPECT_EQ(p.valor(), 0.5);
    p.bajar();
    EXPECT_EQ(avisos, 1);
}

TEST(BotonZORV, ElPrincipalSePintaEnElTurquesaExacto)
{
    // The style would lighten the tint into a gradient (about #68BDCF) and white titles on
    // it fall to 1.8:1; the bezel must be the palette's colour itself.
    struct Caso {
        const char* nombre;
        bool pulsado;
        QColor esperado;
    };
    for (const Caso& k : {Caso{"en reposo", false, Color::turquesa},
                          Caso{"pulsado", true, Color::turquesaOscuro}}) {
        BotonZORV b(QStringLiteral("Guardar"), true);
        b.resize(120, 32);
        b.setDown(k.pulsado);
        const QImage img = b.grab().toImage();
        // Inside the bezel, clear of the centred title and of the rounded corners.
        for (const QPoint p : {QPoint(8, 16), QPoint(60, 5), QPoint(111, 26)})
            EXPECT_EQ(QColor(img.pixel(p)), k.esperado) << k.nombre << " at " << p.x() << "," << p.y();
    }
    // The title is white on it.
    BotonZORV b(QStringLiteral("Guardar"), true);
    b.resize(120, 32);
    const QImage img = b.grab().toImage();
    bool blanco = false;
    for (int x = 30; x < 90 && !blanco; ++x)
        blanco = QColor(img.pixel(x, 16)) == QColor(Qt::white);
    EXPECT_TRUE(blanco);
}

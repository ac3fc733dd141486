// The gallery window in-process: texts, buttons, the viewer and its keys.
#include "apoyo/impresion.h"
#include "apoyo/programa.h"
#include "apoyo/rafaga.h"
#include "apoyo/zona_horaria.h"
#include "estilo/dialogo_alerta.h"
#include "rafaga/cargador_miniaturas.h"
#include "rafaga/controlador_rafaga.h"
#include "rafaga/textos_rafaga.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// A burst folder with captures 3, 12 and 31, a name that is not a number, and files
// that do not count.
class Galeria : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(escribirRafaga(dir.path(), {31, 3, 12}));
        ASSERT_TRUE(escribirArchivo(dir.filePath(QStringLiteral("mini/abc.jpg")), "x"));
        ASSERT_TRUE(escribirArchivo(dir.filePath(QStringLiteral("mini/000007.JPG")), "x"));
        ASSERT_TRUE(escribirArchivo(dir.filePath(QStringLiteral("mini/notas.txt")), "x"));
    }
    std::unique_ptr<ControladorRafaga> abrir(double seg = 2, double base = 0)
    {
        return std::make_unique<ControladorRafaga>(dir.path(), seg, base);
    }
    static QList<int> numeros(const ControladorRafaga& c)
    {
        QList<int> n;
        for (const auto& celda : c.rejilla->celdas())
            n << celda->numero;
        return n;
    }
    static QPushButton* boton(const ControladorRafaga& c, const QString& titulo)
    {
        for (QPushButton* b : c.ventana->findChildren<QPushButton*>())
            if (b->text() == titulo)
                return b;
        ADD_FAILURE() << "sin botón " << titulo.toStdString();
        return nullptr;
    }

    QTemporaryDir dir;
};

// Answers the next alert with the button titled `titulo` and keeps what it showed.
struct Respuesta {
    QString titulo, mensaje;
    QStringList botones;
};
void responderAlerta(const QString& titulo, Respuesta& vista)
{
    QTimer::singleShot(100, [titulo, &vista] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<DialogoAlerta*>(w); d && d->isVisible()) {
                vista.titulo = d->windowTitle();
                vista.mensaje = d->findChild<QLabel*>(QStringLiteral("mensaje"))->text();
                for (QPushButton* b : d->botones())
                    vista.botones << b->text();
                for (QPushButton* b : d->botones())
                    if (b->text() == titulo)
                        b->click();
            }
    });
}

} // namespace

TEST(TextosRafaga, DuracionHoraEIntervalo)
{
    const struct {
        double segundos;
        const char* texto;
    } duraciones[] = {{0, "0:00:00"},       {65, "0:01:05"},      {59.9, "0:00:59"},
                      {90000, "25:00:00"},  {-2, "-0:00:02"},     {NAN, ""},
                      {INFINITY, ""},       {1e300, ""}};
    for (const auto& k : duraciones)
        EXPECT_EQ(textoDuracion(k.segundos), QString::fromUtf8(k.texto)) << k.segundos;

    const struct {
        double seg;
        const char* texto;
    } intervalos[] = {{2, "2"}, {2.5, "2.5"}, {0.1, "0.1"}, {-3, "-3"}, {1e20, "1e+20"}};
    for (const auto& k : intervalos)
        EXPECT_EQ(textoIntervalo(k.seg), QString::fromUtf8(k.texto)) << k.seg;
    EXPECT_EQ(tituloRafaga(1800, 2), QStringLiteral("Ráfaga: 1800 capturas, una cada 2 s"));
    EXPECT_EQ(tituloRafaga(4, 2.5), QStringLiteral("Ráfaga: 4 capturas, una cada 2.5 s"));

    ZonaHoraria utc("UTC");
    EXPECT_EQ(leyendaCaptura(31, 2, 0), QStringLiteral("31   0:01:00   00:01:00"));
    EXPECT_EQ(leyendaCaptura(1, 5, 3600.9), QStringLiteral("1   0:00:00   01:00:00"));
    // 2024-03-31 00:59:59 UTC, then an hour and a second later across Madrid's change.
    ZonaHoraria madrid("Europe/Madrid");
    EXPECT_EQ(leyendaCaptura(1, 3601, 1711846799), QStringLiteral("1   0:00:00   01:59:59"));
    EXPECT_EQ(leyendaCaptura(2, 3601, 1711846799), QStringLiteral("2   1:00:01   04:00:00"));
    EXPECT_EQ(leyendaCaptura(2, NAN, 0), QStringLiteral("2      "));
}

TEST_F(Galeria, CeldasTituloYLeyendas)
{
    ZonaHoraria utc("UTC");
    auto c = abrir();
    EXPECT_EQ(c->ventana->windowTitle(), QStringLiteral("ZorvPlayer - Ráfaga"));
    // Four ".jpg" names (one is not a number and has no cell); ".JPG" does not count.
    EXPECT_EQ(c->lTitulo->text(), QStringLiteral("Ráfaga: 4 capturas, una cada 2 s"));
    EXPECT_EQ(numeros(*c), (QList<int>{3, 12, 31}));
    EXPECT_EQ(c->celda(31)->texto, QStringLiteral("31   0:01:00   00:01:00"));
    EXPECT_EQ(c->celda(31)->ruta, dir.filePath(QStringLiteral("mini/000031.jpg")));
    EXPECT_EQ(c->celda(7), nullptr);
    EXPECT_EQ(abrir(2.5)->lTitulo->text(), QStringLiteral("Ráfaga: 4 capturas, una cada 2.5 s"));
    // Three quarters of the screen, at least 1000 × 660, as far as the screen allows.
    const QSize pedido = tamanoVentanaRafaga();
    EXPECT_GE(pedido.width(), 1000);
    EXPECT_GE(pedido.height(), 660);
    const QSize pantalla = QGuiApplication::primaryScreen()->availableGeometry().size();
    EXPECT_EQ(c->ventana->size(), pedido.boundedTo(pantalla));
    EXPECT_EQ(c->ventana->minimumSize(), QSize(760, 480));

    // No "mini" folder at all: an empty grid under a title that says so.
    ControladorRafaga vacia(dir.filePath(QStringLiteral("no-existe")), 2, 0);
    EXPECT_EQ(vacia.lTitulo->text(), QStringLiteral("Ráfaga: 0 capturas, una cada 2 s"));
    EXPECT_TRUE(vacia.rejilla->celdas().empty());
    EXPECT_EQ(vacia.rejilla->height(), 12);
    EXPECT_EQ(vacia.elegidas(), QString());
}

TEST_F(Galeria, BotonGuardarCuentaLasMarcadas)
{
    auto c = abrir();
    c->ventana->show();
    EXPECT_EQ(c->bGuardar->text(), QStringLiteral("Guardar elegidas (0)"));
    EXPECT_FALSE(c->bGuardar->isEnabled());
    for (const auto& celda : c->rejilla->celdas())
        QTest::mouseClick(c->rejilla, Qt::LeftButton, {},
                          CeldaRafaga::marcoImagen.translated(celda->marco().topLeft()).center());
    EXPECT_EQ(c->bGuardar->text(), QStringLiteral("Guardar elegidas (3)"));
    EXPECT_TRUE(c->bGuardar->isEnabled());
    EXPECT_EQ(c->elegidas(), QStringLiteral("3,12,31"));
    boton(*c, QStringLiteral("Ninguna"))->click();
    EXPECT_EQ(c->bGuardar->text(), QStringLiteral("Guardar elegidas (0)"));
    EXPECT_FALSE(c->bGuardar->isEnabled());
    EXPECT_EQ(c->elegidas(), QString());
    boton(*c, QStringLiteral("Marcar todas"))->click();
    EXPECT_EQ(c->bGuardar->text(), QStringLiteral("Guardar elegidas (3)"));
    c->celda(12)->pulsar(1);
    EXPECT_EQ(c->elegidas(), QStringLiteral("3,31"));
    c->bGuardar->click();
    EXPECT_EQ(c->resultado, 0);
    EXPECT_FALSE(c->ventana->isVisible());
}

TEST_F(Galeria, VisorRecorreMarcaYVuelve)
{
    ZonaHoraria utc("UTC");
    auto c = abrir();
    c->ventana->show();
    const auto pie = [&] { return c->visorTexto->text(); };
    const QString teclas = QStringLiteral("      Teclas: Espacio marca · flechas saltan · Esc vuelve");

    c->abrirVisor(3);
    EXPECT_TRUE(c->visor->isVisible());
    EXPECT_FALSE(c->scroll->isVisible());
    EXPECT_EQ(pie(), QStringLiteral("Captura 3   0:00:04   00:00:04   sin marcar   (1 de 3)") + teclas);
    EXPECT_FALSE(c->visorImagen->imagen().isNull());
    EXPECT_EQ(c->bMarcarSeguir->text(), QStringLiteral("Marcar y seguir"));
    QTest::keyClick(c->visor, Qt::Key_Left); // first capture: nothing before it
    EXPECT_EQ(c->visorK, 3);
    // The next ones are decoded ahead, and stepping shows the right one of them.
    ASSERT_TRUE(QTest::qWaitFor([&] { return c->visorImagen->anticipadas() == 2; }, 20000));
    QTest::keyClick(c->visor, Qt::Key_Right);
    const QImage esperada = decodificarMiniatura(dir.filePath(QStringLiteral("full/000012.jpg")),
                                                 c->visorImagen->size(), QImage::Format_RGB32);
    EXPECT_EQ(c->visorImagen->imagen(), esperada);
    EXPECT_NE(c->visorImagen->imagen(), decodificarMiniatura(dir.filePath(QStringLiteral("full/000031.jpg")),
                                                             c->visorImagen->size(), QImage::Format_RGB32));
    QTest::keyClick(c->visor, Qt::Key_Left);

    // Space marks and unmarks where it is.
    QTest::keyClick(c->visor, Qt::Key_Space);
    EXPECT_EQ(c->visorK, 3);
    EXPECT_TRUE(c->celda(3)->marcada());
    EXPECT_TRUE(pie().contains(QStringLiteral("   ✔ MARCADA   (1 de 3)")));
    EXPECT_EQ(c->bMarcarSeguir->text(), QStringLiteral("Desmarcar y seguir"));
    EXPECT_EQ(c->bGuardar->text(), QStringLiteral("Guardar elegidas (1)"));
    QTest::keyClick(c->visor, Qt::Key_Space);
    EXPECT_FALSE(c->celda(3)->marcada());
    EXPECT_TRUE(pie().contains(QStringLiteral("   sin marcar   (1 de 3)")));

    QTest::keyClick(c->visor, Qt::Key_Right);
    QTest::keyClick(c->visor, Qt::Key_Right);
    EXPECT_EQ(c->visorK, 31);
    EXPECT_TRUE(pie().contains(QStringLiteral("(3 de 3)")));
    boton(*c, QStringLiteral("Siguiente  ▶"))->click(); // last capture: stays
    QTest::keyClick(c->visor, Qt::Key_Right);
    EXPECT_EQ(c->visorK, 31);
    // "Marcar y seguir" on the last one marks it and stays.
    c->bMarcarSeguir->click();
    EXPECT_EQ(c->visorK, 31);
    EXPECT_TRUE(c->celda(31)->marcada());
    EXPECT_EQ(c->bMarcarSeguir->text(), QStringLiteral("Desmarcar y seguir"));
    boton(*c, QStringLiteral("◀  Anterior"))->click();
    EXPECT_EQ(c->visorK, 12);
    c->bMarcarSeguir->click(); // marks 12 and moves on
    EXPECT_EQ(c->visorK, 31);
    EXPECT_EQ(c->elegidas(), QStringLiteral("12,31"));

    QTest::keyClick(c->visor, Qt::Key_Escape);
    EXPECT_FALSE(c->visor->isVisible());
    EXPECT_TRUE(c->scroll->isVisible());
    EXPECT_TRUE(c->visorImagen->imagen().isNull());

    // A capture whose full picture is missing opens empty; a number with no cell does
    // not open the viewer.
    QFile::remove(dir.filePath(QStringLiteral("full/000012.jpg")));
    c->abrirVisor(12);
    EXPECT_TRUE(c->visor->isVisible());
    EXPECT_TRUE(c->visorImagen->imagen().isNull());
    boton(*c, QStringLiteral("Volver a la galería"))->click();
    c->abrirVisor(7);
    EXPECT_FALSE(c->visor->isVisible());
}

TEST(Visor, TeclaNoAtendidaSigueSuCamino)
{
    struct Padre : QWidget {
        QList<int> recibidas;
        void keyPressEvent(QKeyEvent* e) override { recibidas << e->key(); }
    } padre;
    auto* v = new Visor(&padre);
    QTest::keyClick(v, Qt::Key_A); // no closure yet
    v->tecla = [](QKeyEvent* e) { return e->key() == Qt::Key_Space; };
    QTest::keyClick(v, Qt::Key_Space);
    QTest::keyClick(v, Qt::Key_B);
    EXPECT_EQ(padre.recibidas, (QList<int>{Qt::Key_A, Qt::Key_B}));
}

TEST_F(Galeria, DescartarTodasPreguntaAntes)
{
    auto c = abrir();
    c->ventana->show();
    c->celda(12)->setMarcada(true);
    c->refrescar();
    Respuesta vista;
    responderAlerta(QStringLiteral("Volver"), vista);
    boton(*c, QStringLiteral("Descartar todas"))->click();
    EXPECT_EQ(vista.titulo, QStringLiteral("¿Descartar todas?"));
    EXPECT_EQ(vista.mensaje, QStringLiteral("Se borrarán definitivamente todas las capturas de la ráfaga."));
    EXPECT_EQ(vista.botones, (QStringList{QStringLiteral("Descartar"), QStringLiteral("Volver")}));
    EXPECT_TRUE(c->ventana->isVisible());
    EXPECT_EQ(c->resultado, 1);
    EXPECT_EQ(c->elegidas(), QStringLiteral("12"));

    Respuesta otra;
    responderAlerta(QStringLiteral("Descartar"), otra);
    boton(*c, QStringLiteral("Descartar todas"))->click();
    EXPECT_FALSE(c->ventana->isVisible());
    EXPECT_EQ(c->resultado, 1);
}

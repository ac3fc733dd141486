// The grid on its own: layout, mouse, thumbnails and their memory budget.
#include "apoyo/impresion.h"
#include "apoyo/programa.h"
#include "apoyo/rafaga.h"
#include "rafaga/cargador_miniaturas.h"
#include "rafaga/rejilla.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A grid of cells numbered from 1 whose thumbnails are `ruta(n)` (none by default).
void llenar(Rejilla& r, int n, const std::function<QString(int)>& ruta = {})
{
    for (int i = 1; i <= n; ++i)
        r.anadir(std::make_unique<CeldaRafaga>(i, ruta ? ruta(i) : QString(), QString::number(i)));
}

QPoint centro(const CeldaRafaga& c, const QRect& dentro = CeldaRafaga::marcoImagen)
{
    return dentro.translated(c.marco().topLeft()).center();
}

bool esperarVista(const Rejilla& r)
{
    return QTest::qWaitFor([&] { return r.vistaCompleta(); }, 20000);
}

} // namespace

TEST(Rejilla, ColumnasFilasYAlto)
{
    struct Caso {
        int celdas, ancho, columnas, alto;
    };
    // (1000 - 12) / 248 = 3.98: three columns; 1004 gives four; narrow widths keep one.
    const Caso casos[] = {{1, 1000, 3, 202}, {1, 1004, 4, 202}, {1, 200, 1, 202},
                          {1, 5, 1, 202},    {10, 760, 3, 772}, {0, 760, 3, 12}};
    for (const Caso& k : casos) {
        Rejilla r;
        llenar(r, k.celdas);
        r.recolocar(k.ancho);
        EXPECT_EQ(r.columnas(), k.columnas) << k.ancho;
        EXPECT_EQ(r.size(), QSize(k.ancho, k.alto)) << k.celdas << " a " << k.ancho;
    }
    Rejilla r;
    llenar(r, 10);
    r.recolocar(760);
    EXPECT_EQ(r.celdas()[0]->marco(), QRect(12, 12, 236, 178));
    EXPECT_EQ(r.celdas()[2]->marco().topLeft(), QPoint(12 + 2 * 248, 12));
    EXPECT_EQ(r.celdas()[9]->marco().topLeft(), QPoint(12, 582));
    // Points between cells or past the last one belong to no cell.
    EXPECT_EQ(r.celdaEn(QPoint(12 + 240, 50)), nullptr);
    EXPECT_EQ(r.celdaEn(QPoint(6, 50)), nullptr);
    EXPECT_EQ(r.celdaEn(QPoint(12 + 248 + 5, 582 + 5)), nullptr);
    EXPECT_EQ(r.celdaEn(QPoint(12 + 5, 582 + 5)), r.celdas()[9].get());
}

TEST(Rejilla, ClicMarcaDobleClicAbreYElCodigoNoAvisa)
{
    Rejilla r;
    llenar(r, 4);
    r.recolocar(1004);
    int cambios = 0;
    QList<int> abiertas;
    for (const auto& c : r.celdas()) {
        c->alCambiar = [&] { ++cambios; };
        c->alAbrir = [&](int k) { abiertas << k; };
    }
    CeldaRafaga& a = *r.celdas()[1];
    QTest::mouseClick(&r, Qt::LeftButton, {}, centro(a));
    EXPECT_TRUE(a.marcada());
    EXPECT_EQ(cambios, 1);
    // On the check box itself: the same as on the picture.
    QTest::mouseClick(&r, Qt::LeftButton, {}, centro(a, CeldaRafaga::marcoCasilla));
    EXPECT_FALSE(a.marcada());
    EXPECT_EQ(cambios, 2);
    // A double click arrives as a click and then the second press: one toggle, one open.
    CeldaRafaga& b = *r.celdas()[3];
    QTest::mouseClick(&r, Qt::LeftButton, {}, centro(b));
    QTest::mouseDClick(&r, Qt::LeftButton, {}, centro(b));
    EXPECT_TRUE(b.marcada());
    EXPECT_EQ(cambios, 3);
    EXPECT_EQ(abiertas, QList<int>{4});
    // Other buttons and the gaps do nothing.
    QTest::mouseClick(&r, Qt::RightButton, {}, centro(a));
    QTest::mouseClick(&r, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(a.marcada());
    // From code: the mark changes, nobody is told.
    a.setMarcada(true);
    EXPECT_TRUE(a.marcada());
    EXPECT_EQ(cambios, 3);
    EXPECT_EQ(abiertas.size(), 1);
}

TEST(Rejilla, MiniaturasAlTamanoDeLaCeldaYLasIlegiblesVacias)
{
    QTemporaryDir dir;
    struct Caso {
        QString nombre;
        QByteArray datos; // written as is; empty: a picture of `tam`
        QSize tam;
        QSize esperado; // 0 × 0: unreadable
    };
    const Caso casos[] = {
        {QStringLiteral("grande.jpg"), {}, QSize(1920, 1080), QSize(230, 129)},
        {QStringLiteral("diminuta.jpg"), {}, QSize(16, 9), QSize(230, 129)},
        {QStringLiteral("vertical.jpg"), {}, QSize(100, 400), QSize(32, 130)},
        {QStringLiteral("basura.jpg"), QByteArray("\xff\xd8\xff\xe0 esto no es un JPEG"), {}, {0, 0}},
        {QStringLiteral("vacia.jpg"), QByteArray(""), {}, {0, 0}},
        {QStringLiteral("falta.jpg"), QByteArray("-"), {}, {0, 0}},
    };
    QStringList rutas;
    for (const Caso& k : casos) {
        const QString ruta = dir.filePath(k.nombre);
        rutas << ruta;
        if (k.tam.isValid()) {
            ASSERT_TRUE(imagenCaptura(1, k.tam).save(ruta, "JPEG", 85));
        } else if (k.datos != "-") {
            ASSERT_TRUE(escribirArchivo(ruta, k.datos));
        }
        const QImage m = decodificarMiniatura(ruta, QSize(230, 130));
        EXPECT_EQ(m.size(), k.esperado) << k.nombre.toStdString();
    }

    Rejilla r;
    llenar(r, int(rutas.size()), [&](int n) { return rutas[n - 1]; });
    r.recolocar(1004);
    ASSERT_TRUE(esperarVista(r));
    const QImage pintada = r.grab().toImage();
    for (size_t i = 0; i < std::size(casos); ++i) {
        const CeldaRafaga& c = *r.celdas()[i];
        const bool legible = !casos[i].esperado.isEmpty();
        EXPECT_EQ(c.carga(), legible ? CeldaRafaga::Carga::cargada : CeldaRafaga::Carga::ilegible)
            << casos[i].nombre.toStdString();
        EXPECT_EQ(c.miniatura().size(), casos[i].esperado);
        // An unreadable capture is an empty (black) picture in an ordinary cell.
        EXPECT_EQ(pintada.pixel(centro(c)) == qRgb(0, 0, 0), !legible) << casos[i].nombre.toStdString();
        EXPECT_EQ(pintada.pixel(centro(c, CeldaRafaga::marcoCasilla) + QPoint(60, -10)),
                  qRgb(224, 224, 224));
    }
}

TEST(Rejilla, PresupuestoDeMemoriaYLaVistaPrimero)
{
    QTemporaryDir dir;
    QList<int> numeros;
    for (int i = 1; i <= 60; ++i)
        numeros << i;
    ASSERT_TRUE(escribirRafaga(dir.path(), numeros));
    // A stand-in for the scroll area's viewport: 3 columns, a bit over two rows in view.
    QWidget marco;
    marco.resize(760, 400);
    auto* r = new Rejilla(&marco);
    llenar(*r, 60, [&](int n) { return dir.filePath(QString::asprintf("mini/%06d.jpg", n)); });
    const qint64 porMiniatura = 692 * 130;
    r->setPresupuesto(12 * porMiniatura);
    r->recolocar(760);
    ASSERT_EQ(r->height(), 12 + 20 * 190);

    const auto cargadas = [&](int desde, int hasta) {
        int n = 0;
        for (int i = desde; i < hasta; ++i)
            n += r->celdas()[size_t(i)]->carga() == CeldaRafaga::Carga::cargada;
        return n;
    };
    marco.show();
    ASSERT_TRUE(esperarVista(*r));
    EXPECT_EQ(cargadas(0, 9), 9);
    // Rows around the view fill up to the budget, and not beyond.
    ASSERT_TRUE(QTest::qWaitFor([&] { return r->miniaturasCargadas() == 12; }, 20000));
    QTest::qWait(200);
    EXPECT_EQ(r->miniaturasCargadas(), 12);
    EXPECT_LE(r->bytesMiniaturas(), 12 * porMiniatura);

    // Scrolled to the end: the top goes, the bottom comes, the budget holds.
    r->move(0, 400 - r->height());
    ASSERT_TRUE(esperarVista(*r));
    EXPECT_EQ(cargadas(51, 60), 9);
    QTest::qWait(200);
    EXPECT_EQ(cargadas(0, 9), 0);
    EXPECT_LE(r->bytesMiniaturas(), 12 * porMiniatura);
    // And back: decoded again.
    r->move(0, 0);
    ASSERT_TRUE(esperarVista(*r));
    EXPECT_EQ(cargadas(0, 9), 9);
    EXPECT_LE(r->miniaturasCargadas(), 12);
}

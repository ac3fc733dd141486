// The window's frames at its design size and after resizing, and screenshots of its
// states for looking at (written next to the test program, in "capturas").
#include "apoyo/impresion.h"
#include "apoyo_camaras.h"

#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <gtest/gtest.h>

namespace {

// The frame of a view in the window's coordinates.
QRect enVentana(const QWidget* w, const QWidget* ventana)
{
    return QRect(w->mapTo(ventana, QPoint(0, 0)), w->size());
}

void capturar(QWidget* ventana, const QString& nombre)
{
    const QString carpeta = QCoreApplication::applicationDirPath() + QStringLiteral("/capturas");
    QDir().mkpath(carpeta);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ventana->grab().save(carpeta + QLatin1Char('/') + nombre));
}

} // namespace

TEST(MontajeCamaras, MarcosYReglasAlRedimensionar)
{
    GuionCamaras g;
    g.equipos = {equipoGuion(QStringLiteral("10.77.0.5"), QStringLiteral("hikvision"))};
    VentanaGuion v(g);
    Camaras& c = *v.c;
    QWidget* w = c.ventana.get();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("ZorvPlayer - Cámaras y dispositivos"));
    EXPECT_EQ(w->minimumSize(), QSize(900, 560));
    w->resize(1080, 680);
    QCoreApplication::processEvents();
    struct Marco {
        QWidget* vista;
        QRect diseno;
        QRect grande;  // at 1300 x 800
    };
    c.pCred->show();
    c.pRtsp->show();
    const Marco marcos[] = {
        {c.arbol, {12, 110, 276, 452}, {12, 110, 276, 572}},
        {c.bBuscar, {12, 570, 276, 32}, {12, 690, 276, 32}},
        {c.bIP, {154, 608, 134, 32}, {154, 728, 134, 32}},
        {c.lEstado, {14, 650, 274, 18}, {14, 770, 274, 18}},
        {c.lTit, {322, 82, 736, 22}, {322, 82, 956, 22}},
        {c.lista, {322, 216, 736, 360}, {322, 216, 956, 480}},
        {c.bListar, {950, 136, 108, 32}, {1170, 136, 108, 32}},
        {c.tP, {584, 140, 130, 24}, {584, 140, 130, 24}},
        {c.bGrabar, {622, 174, 160, 32}, {622, 174, 160, 32}},
        {c.lCuenta, {322, 582, 590, 34}, {322, 702, 810, 34}},
        {c.bTodos, {930, 582, 128, 32}, {1150, 702, 128, 32}},
        {c.lDest, {322, 630, 440, 16}, {322, 750, 660, 16}},
        {c.barra, {322, 652, 440, 14}, {322, 772, 660, 14}},
        {c.bDesc, {776, 634, 200, 32}, {996, 754, 200, 32}},
        {c.bFin, {986, 634, 76, 32}, {1206, 754, 76, 32}},
    };
    for (const Marco& m : marcos)
        EXPECT_EQ(enVentana(m.vista, w), m.diseno) << m.vista->metaObject()->className() << " "
                                                   << m.vista->objectName().toStdString();
    capturar(w, QStringLiteral("camaras-inicio.png"));
    w->resize(1300, 800);
    QCoreApplication::processEvents();
    for (const Marco& m : marcos)
        EXPECT_EQ(enVentana(m.vista, w), m.grande) << m.vista->metaObject()->className();
    w->resize(1080, 680);
    QCoreApplication::processEvents();
    for (const Marco& m : marcos)
        EXPECT_EQ(enVentana(m.vista, w), m.diseno) << "back to the design size";

    // At the smallest size the credentials row takes two lines and nothing sits on
    // anything else; the list's last column ends where the view does, or fills it.
    for (const QSize tam : {QSize(900, 560), QSize(1440, 900)}) {
        w->resize(tam);
        QCoreApplication::processEvents();
        QList<QRect> controles;
        for (QWidget* h : c.pCred->findChildren<QWidget*>())
            if (h->parentWidget()->parentWidget() == c.pCred && h->isVisibleTo(c.pCred)) {
                const QRect r = enVentana(h, w);
                for (const QRect& otro : controles)
                    EXPECT_FALSE(r.intersects(otro)) << h->metaObject()->className() << " at " << tam.width();
                EXPECT_TRUE(enVentana(c.pCred, w).contains(r));
                controles << r;
            }
        EXPECT_LT(enVentana(c.pCred, w).bottom(), enVentana(c.pRtsp, w).top());
        EXPECT_LT(enVentana(c.pRtsp, w).bottom(), enVentana(c.lista, w).top());
        const QHeaderView* h = c.lista->horizontalHeader();
        EXPECT_EQ(h->sectionViewportPosition(ModeloLista::ruta) + h->sectionSize(ModeloLista::ruta),
                  c.lista->viewport()->width());
    }
}

TEST(MontajeCamaras, Capturas)
{
    GuionCamaras g;
    const OrigenPtr usb = carpetaGuion(QStringLiteral("/media/agente/GRABADOR_2"));
    g.unidades = {usb};
    g.subcarpetas[usb->ruta] = {carpetaGuion(usb->ruta + QStringLiteral("/ch01"), QStringLiteral("carpeta")),
                                carpetaGuion(usb->ruta + QStringLiteral("/ch02"), QStringLiteral("carpeta"))};
    g.equipos = {equipoGuion(QStringLiteral("10.77.0.5"), QStringLiteral("hikvision"), {80, 554, 8000}),
                 equipoGuion(QStringLiteral("10.77.0.6"), QStringLiteral("dahua"), {80, 554}),
                 equipoGuion(QStringLiteral("10.77.0.12"), QStringLiteral("ftp"), {21})};
    g.identificaciones[QStringLiteral("10.77.0.5")] = {QStringLiteral("hikvision"), QStringLiteral("DS-7608NI-K2")};
    g.listados[QStringLiteral("hikvision")] = [](const OrigenPtr& o) {
        QList<FicheroPtr> l;
        const QDateTime t(QDate(2024, 3, 5), QTime(8, 0, 0));
        for (int i = 0; i < 40; ++i) {
            const QDateTime f = t.addSecs(i * 1800);
            l << std::make_shared<Fichero>(f.toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss")) + QStringLiteral(".mp4"), f,
                                           int64_t(180 + i) * 1024 * 1024,
                                           QStringLiteral("hasta ") + f.addSecs(1799).toString(QStringLiteral("HH:mm:ss")),
                                           o, QStringLiteral("x%1").arg(i));
        }
        return l;
    };
    Retencion r;
    g.alEmpezar = r.punto();
    VentanaGuion v(g);
    v.barrer();
    v.c->expandir(v.c->nRED);
    capturar(v.c->ventana.get(), QStringLiteral("camaras-barrido.png"));
    v.elegir(v.c->nRED->hijos[0]);
    v.c->tP->setText(QStringLiteral("clave"));
    v.c->bListar->click();
    v.asentar();
    for (int i : {0, 2, 3})
        v.marcar(i);
    v.c->ficheros[5]->estado = QStringLiteral("descargado");
    v.c->ficheros[6]->estado = QStringLiteral("ERROR: la cámara no respondió");
    v.c->recargarLista();
    capturar(v.c->ventana.get(), QStringLiteral("camaras-listado.png"));
    for (const QSize tam : {QSize(900, 560), QSize(1440, 900), QSize(1080, 680)}) {
        v.c->ventana->resize(tam);
        capturar(v.c->ventana.get(), QStringLiteral("camaras-listado-%1.png").arg(tam.width()));
    }
    v.c->bDesc->click();
    ASSERT_TRUE(r.llegada());
    QCoreApplication::processEvents();  // the start of the first file reaches the window
    v.c->progreso(42, v.c->lProg->text() + QStringLiteral(" 42 %"));
    capturar(v.c->ventana.get(), QStringLiteral("camaras-descarga.png"));
    r.soltar(3);
    v.asentar();
    EXPECT_EQ(v.c->descargados.size(), 3);
}

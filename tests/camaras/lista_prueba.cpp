// The recordings list and the listing flows: order, counts, ticks, "Marcar todos", the
// password field, and which families a device is tried as.
#include "apoyo/impresion.h"
#include "apoyo_camaras.h"
#include "estilo/color.h"

#include <gtest/gtest.h>

namespace {

QDateTime hora(int minuto) { return QDateTime(QDate(2024, 3, 5), QTime(14, minuto, 0)); }

} // namespace

TEST(ListaCamaras, OrdenCuentasYMarcas)
{
    GuionCamaras g;
    const OrigenPtr usb = carpetaGuion(QStringLiteral("/media/u/USB"));
    g.unidades = {usb};
    g.videos[usb->ruta] = {grabacionGuion(usb, QStringLiteral("sin-fecha.mp4")),
                           grabacionGuion(usb, QStringLiteral("a.mp4"), hora(1), 2048),
                           grabacionGuion(usb, QStringLiteral("c.mp4"), hora(3), 1),
                           grabacionGuion(usb, QStringLiteral("b.mp4"), hora(2), 0)};
    const OrigenPtr vacia = carpetaGuion(QStringLiteral("/media/u/VACIA"));
    g.unidades << vacia;
    VentanaGuion v(g);
    v.barrer();
    v.elegir(v.c->nUSB->hijos[0]);  // a double click selects the row first
    v.c->dobleArbol(v.indice(v.c->nUSB->hijos[0]));
    v.asentar();
    EXPECT_EQ(v.celdas(ModeloLista::nombre), (QStringList{"c.mp4", "b.mp4", "a.mp4", "sin-fecha.mp4"}));
    EXPECT_EQ(v.celdas(ModeloLista::fecha),
              (QStringList{"05/03/2024 14:03:00", "05/03/2024 14:02:00", "05/03/2024 14:01:00", ""}));
    EXPECT_EQ(v.celdas(ModeloLista::tam), (QStringList{"1 B", "", "2 KB", ""}));
    EXPECT_EQ(v.c->lCuenta->text(), QStringLiteral("4 ficheros · 0 marcados"));
    EXPECT_EQ(v.c->bDesc->text(), QStringLiteral("Descargar marcados (0)"));
    EXPECT_FALSE(v.c->bDesc->isEnabled());
    EXPECT_FALSE(v.c->ocupado);

    ASSERT_TRUE(v.marcar(0));
    EXPECT_EQ(v.c->lCuenta->text(), QStringLiteral("4 ficheros · 1 marcados"));
    EXPECT_EQ(v.c->bDesc->text(), QStringLiteral("Descargar marcados (1)"));
    EXPECT_TRUE(v.c->bDesc->isEnabled());

    // Done and failed rows: coloured, not tickable, skipped by "Marcar todos".
    v.c->ficheros[1]->estado = QStringLiteral("descargado");
    v.c->ficheros[2]->estado = QStringLiteral("ERROR: se fue la luz");
    v.c->recargarLista();
    v.c->bTodos->click();
    EXPECT_EQ(v.c->lCuenta->text(), QStringLiteral("4 ficheros · 2 marcados"));
    EXPECT_FALSE(v.c->ficheros[1]->marcado);
    EXPECT_FALSE(v.c->ficheros[2]->marcado);
    EXPECT_FALSE(v.marcar(1)) << "a downloaded recording cannot be ticked again";
    ModeloLista* m = v.c->modeloLista();
    EXPECT_EQ(m->data(m->index(1, ModeloLista::ruta), Qt::ForegroundRole).value<QColor>(), Color::turquesaOscuro);
    EXPECT_EQ(m->data(m->index(2, ModeloLista::ruta), Qt::ForegroundRole).value<QColor>(), Color::rojo);
    EXPECT_EQ(m->data(m->index(3, ModeloLista::ruta), Qt::ForegroundRole).value<QColor>(), Color::tinta);
    EXPECT_EQ(v.celdas(ModeloLista::ruta)[2], QStringLiteral("ERROR: se fue la luz"));
    EXPECT_EQ(v.celdas(ModeloLista::ruta)[3], QStringLiteral("/sd/sin-fecha.mp4"));
    EXPECT_FALSE(m->index(7, 1).isValid());

    // While a job runs: six buttons and every tick are off, "Cerrar" stays.
    v.c->bloquear(true);
    for (BotonZORV* b : {v.c->bBuscar, v.c->bCarpeta, v.c->bIP, v.c->bListar, v.c->bGrabar, v.c->bTodos, v.c->bDesc})
        EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
    EXPECT_TRUE(v.c->bFin->isEnabled());
    EXPECT_FALSE(m->flags(m->index(0, ModeloLista::x)) & Qt::ItemIsEnabled);
    v.c->dobleArbol(v.indice(v.c->nUSB->hijos[1]));  // a scan is ignored meanwhile
    v.asentar();
    EXPECT_EQ(g.llamadas().count(QStringLiteral("listarUnidad /media/u/VACIA")), 0);
    v.c->bloquear(false);
    EXPECT_TRUE(m->flags(m->index(0, ModeloLista::x)) & Qt::ItemIsEnabled);
    EXPECT_TRUE(v.c->bDesc->isEnabled());

    // Another source empties the list; an empty drive says so.
    v.elegir(v.c->nUSB->hijos[1]);
    v.c->dobleArbol(v.indice(v.c->nUSB->hijos[1]));
    v.asentar();
    EXPECT_TRUE(v.c->ficheros.isEmpty());
    EXPECT_EQ(v.c->lCuenta->text(), QStringLiteral("No se han encontrado vídeos en este dispositivo."));
    EXPECT_EQ(v.c->lEstado->text(), QString());
}

TEST(ListaCamaras, ContrasenaVisibleEnAmbosSentidos)
{
    GuionCamaras g;
    g.equipos = {equipoGuion(QStringLiteral("10.77.0.5"), QStringLiteral("dahua"))};
    VentanaGuion v(g);
    v.barrer();
    v.elegir(v.c->nRED->hijos[0]);
    v.c->tP->setText(QStringLiteral("s3cr3t:\"x"));
    EXPECT_EQ(v.c->clave(), QStringLiteral("s3cr3t:\"x"));
    v.c->cVer->click();
    EXPECT_TRUE(v.c->tPVer->isVisible());
    EXPECT_FALSE(v.c->tP->isVisible());
    EXPECT_EQ(v.c->tPVer->text(), QStringLiteral("s3cr3t:\"x"));
    v.c->tPVer->setText(QStringLiteral("nueva"));
    EXPECT_EQ(v.c->clave(), QStringLiteral("nueva"));
    v.c->tU->setText(QStringLiteral("operador"));
    v.c->cPer->setCurrentIndex(2);
    v.c->bListar->click();
    v.asentar();
    EXPECT_TRUE(g.llamadas().contains(QStringLiteral("detectarFamilia 10.77.0.5 operador nueva")));
    EXPECT_TRUE(g.llamadas().contains(QStringLiteral("listar dahua 10.77.0.5 30 días")));
    v.c->cVer->click();
    EXPECT_TRUE(v.c->tP->isVisible());
    EXPECT_EQ(v.c->tP->text(), QStringLiteral("nueva"));
    EXPECT_EQ(v.c->clave(), QStringLiteral("nueva"));
}

TEST(ListaCamaras, FamiliasQueSePruebanAlListar)
{
    struct Caso {
        const char* guardada;       // the family the sweep gave
        const char* identificada;   // what identification with credentials says
        QStringList conRecordings;  // families whose listing finds something
        QStringList probadas;       // in order
        const char* final;          // the device's family afterwards
    };
    const Caso casos[] = {
        {"dahua", "desconocida", {"dahua", "hikvision"}, {"dahua"}, "dahua"},
        {"rtsp", "desconocida", {"dahua", "ftp"}, {"vstarcam", "hikvision", "dahua"}, "dahua"},
        {"rtsp", "hikvision", {"hikvision"}, {"hikvision"}, "hikvision"},
        {"onvif", "desconocida", {}, {"vstarcam", "hikvision", "dahua", "ftp"}, "onvif"},
    };
    for (const Caso& k : casos) {
        GuionCamaras g;
        const OrigenPtr e = equipoGuion(QStringLiteral("10.77.0.5"), QString::fromUtf8(k.guardada));
        g.equipos = {e};
        g.identificaciones[e->ip] = {QString::fromUtf8(k.identificada), QStringLiteral("DS-2CD2043")};
        for (const QString& f : k.conRecordings)
            g.listados[f] = [f](const OrigenPtr& o) {
                return QList<FicheroPtr>{grabacionGuion(o, f + QStringLiteral(".mp4"), hora(1))};
            };
        VentanaGuion v(g);
        v.barrer();
        v.elegir(v.c->nRED->hijos[0]);
        v.c->dobleArbol(v.indice(v.c->nRED->hijos[0]));  // as "Listar"
        v.asentar();
        QStringList probadas;
        for (const QString& l : g.llamadas())
            if (l.startsWith(QStringLiteral("listar ")))
                probadas << l.section(QLatin1Char(' '), 1, 1);
        EXPECT_EQ(probadas, k.probadas) << k.guardada << " " << k.identificada;
        EXPECT_EQ(e->familia, QString::fromUtf8(k.final));
        EXPECT_FALSE(v.c->ocupado);
        EXPECT_EQ(v.c->lEstado->text(), QString());
        if (!k.conRecordings.isEmpty()) {
            EXPECT_EQ(v.celdas(ModeloLista::nombre), QStringList{k.probadas.last() + QStringLiteral(".mp4")});
        }
        if (QString::fromUtf8(k.identificada) == QLatin1String("hikvision")) {
            EXPECT_EQ(v.c->lDet->text(), QStringLiteral("10.77.0.5 · hikvision · DS-2CD2043"));
            EXPECT_EQ(v.c->nRED->hijos[0]->texto, QStringLiteral("10.77.0.5  ·  hikvision"));
            EXPECT_EQ(v.c->nRED->hijos[0]->origen, e);
            EXPECT_TRUE(v.c->pRtsp->isVisible());
            // The renamed row stays the chosen one.
            const QModelIndexList elegidas = v.c->arbol->selectionModel()->selectedIndexes();
            ASSERT_EQ(elegidas.size(), 1);
            EXPECT_EQ(v.c->modeloArbol()->nodo(elegidas[0]), v.c->nRED->hijos[0].get());
        } else {
            EXPECT_EQ(v.c->nRED->hijos[0]->texto, QStringLiteral("10.77.0.5  ·  ") + QString::fromUtf8(k.guardada));
        }
    }
}

TEST(ListaCamaras, SinGrabacionesNombraCadaFallo)
{
    GuionCamaras g;
    g.equipos = {equipoGuion(QStringLiteral("10.77.0.5"), QStringLiteral("rtsp"))};
    g.erroresListado[QStringLiteral("vstarcam")] = QStringLiteral("la cámara no tiene esta ruta (quizá no es de esta familia)");
    g.erroresListado[QStringLiteral("hikvision")] = QStringLiteral("usuario o contraseña incorrectos");
    g.erroresListado[QStringLiteral("ftp")] = QStringLiteral("la cámara no respondió");
    // A build without the dahua listing names that too.
    VentanaGuion v(g, [](Operaciones& o) { o.listar.remove(QStringLiteral("dahua")); });
    v.barrer();
    v.elegir(v.c->nRED->hijos[0]);
    v.c->bListar->click();
    v.asentar();
    EXPECT_EQ(v.c->lCuenta->text(),
              QStringLiteral("Sin grabaciones en ese periodo · vstarcam: la cámara no tiene esta ruta (quizá no es de esta familia)"
                             " · hikvision: usuario o contraseña incorrectos"
                             " · dahua: esta versión aún no sabe listar grabaciones de dahua"
                             " · ftp: la cámara no respondió. Si tiene tarjeta SD, prueba otro periodo o graba el directo."));
    EXPECT_EQ(v.c->nRED->hijos[0]->origen->familia, QStringLiteral("rtsp"));

    // "Listar" while another job runs is ignored.
    const int antes = int(g.llamadas().size());
    v.c->bloquear(true);
    v.c->listarRed();
    v.c->dobleArbol(v.indice(v.c->nRED->hijos[0]));
    v.asentar();
    EXPECT_EQ(g.llamadas().size(), antes);
}

TEST(ListaCamaras, FocoTrasListarYCasillasApagadas)
{
    GuionCamaras g;
    const OrigenPtr e = equipoGuion(QStringLiteral("10.77.0.5"), QStringLiteral("hikvision"));
    g.equipos = {e};
    g.listados[QStringLiteral("hikvision")] = [](const OrigenPtr& o) {
        return QList<FicheroPtr>{grabacionGuion(o, QStringLiteral("a.mp4"), hora(1)), grabacionGuion(o, QStringLiteral("b.mp4"), hora(2))};
    };
    VentanaGuion v(g);
    ASSERT_TRUE(QTest::qWaitForWindowActive(v.c->ventana.get()));
    v.barrer();
    v.elegir(v.c->nRED->hijos[0]);
    // A click on "Listar" gives it the focus; the button goes off while the listing runs.
    v.c->bListar->setFocus();
    v.c->bListar->click();
    EXPECT_NE(QApplication::focusWidget(), v.c->nSeg) << "the keys would change the seconds";
    v.asentar();
    EXPECT_EQ(QApplication::focusWidget(), v.c->lista);

    // A tick that cannot change is drawn apart from one that can.
    const auto casilla = [&](int fila) {
        const QRect r = v.c->lista->visualRect(v.c->modeloLista()->index(fila, ModeloLista::x));
        return v.c->lista->viewport()->grab(r).toImage();
    };
    const QImage libres[] = {casilla(0), casilla(1)};
    v.c->ficheros[1]->estado = QStringLiteral("ERROR: la cámara no respondió");
    v.c->recargarLista();
    EXPECT_NE(casilla(1), libres[1]) << "failed row";
    EXPECT_EQ(casilla(0), libres[0]);
    v.c->bloquear(true);
    EXPECT_NE(casilla(0), libres[0]) << "while a job runs";
    v.c->bloquear(false);
    EXPECT_EQ(casilla(0), libres[0]);
}

// A listing that stopped early shows what it read, and the count line says so.
TEST(ListaCamaras, ListadoIncompleto)
{
    GuionCamaras g;
    g.equipos = {equipoGuion(QStringLiteral("10.77.0.5"), QStringLiteral("dahua"))};
    g.listados["dahua"] = [](const OrigenPtr& o) { return QList<FicheroPtr>{grabacionGuion(o, "a.mp4", hora(1))}; };
    g.cortesListado["dahua"] = QStringList{"se detuvo en la página 3: la cámara respondió 500"};
    VentanaGuion v(g);
    v.barrer();
    v.elegir(v.c->nRED->hijos[0]);
    v.c->bListar->click();
    v.asentar();
    EXPECT_EQ(v.c->lCuenta->text(), "1 ficheros · 0 marcados · listado incompleto, se detuvo en la página 3: "
                                    "la cámara respondió 500 (se muestra lo leído hasta ahí)");
}

// The source tree: headings, placeholders, the sweep, folders by hand and by address,
// lazy sub-folders, and what showing a source does to the right side.
#include "apoyo/impresion.h"
#include "apoyo_camaras.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

const QString kSinUnidades = QStringLiteral("(conecta un USB/tarjeta y «Buscar de nuevo», o «Abrir carpeta…»)");
const QString kSinCamaras = QStringLiteral("(ninguna cámara encontrada)");

} // namespace

TEST(ArbolCamaras, NadaConectadoYCarpetaAMano)
{
    GuionCamaras g;
    VentanaGuion v(g);
    EXPECT_EQ(v.c->nUSB->texto, QStringLiteral("USB, tarjetas y dispositivos"));
    EXPECT_EQ(v.c->nRED->texto, QStringLiteral("Red local"));
    EXPECT_EQ(v.c->modeloArbol()->rowCount(), 2);
    v.barrer();
    EXPECT_EQ(VentanaGuion::textos(v.c->nUSB), QStringList{kSinUnidades});
    EXPECT_EQ(VentanaGuion::textos(v.c->nRED), QStringList{kSinCamaras});
    EXPECT_EQ(v.c->lEstado->text(), QStringLiteral("0 dispositivos · 0 equipos en red"));
    EXPECT_TRUE(v.c->bBuscar->isEnabled());
    EXPECT_TRUE(v.c->expandida(v.c->nUSB));
    // Headings and placeholders cannot be chosen.
    for (const NodoPtr& n : {v.c->nUSB, v.c->nRED, v.c->nUSB->hijos[0], v.c->nRED->hijos[0]})
        EXPECT_FALSE(v.c->modeloArbol()->flags(v.indice(n)) & Qt::ItemIsSelectable) << n->texto.toStdString();

    // A folder chosen by hand takes the placeholder's place and is shown at once.
    QDir(v.dir.path()).mkpath(QStringLiteral("export/cam2"));
    const QString elegida = v.dir.path() + QStringLiteral("/export");
    g.subcarpetas[elegida] = {carpetaGuion(elegida + QStringLiteral("/cam2"), QStringLiteral("carpeta"))};
    v.carpeta = elegida + QStringLiteral("/");
    v.c->abrirCarpeta();
    ASSERT_EQ(v.c->nUSB->hijos.size(), 1);
    const NodoPtr fila = v.c->nUSB->hijos[0];
    EXPECT_EQ(fila->texto, QStringLiteral("export  (") + elegida + QStringLiteral(")"));
    ASSERT_TRUE(fila->origen);
    EXPECT_EQ(fila->origen->ruta, elegida);
    EXPECT_EQ(fila->origen->detalle, QStringLiteral("carpeta elegida a mano"));
    EXPECT_EQ(v.c->actual, fila->origen);
    EXPECT_EQ(v.c->lTit->text(), fila->texto);
    EXPECT_TRUE(v.c->expandida(fila)) << "choosing a folder opens it";
    EXPECT_EQ(VentanaGuion::textos(fila), QStringList{"cam2"});

    // Cancelling the chooser changes nothing.
    v.carpeta.reset();
    v.c->abrirCarpeta();
    EXPECT_EQ(v.c->nUSB->hijos.size(), 1);
}

TEST(ArbolCamaras, BarridoYSubcarpetasPerezosas)
{
    GuionCamaras g;
    const OrigenPtr usb = carpetaGuion(QStringLiteral("/media/u/USB"));
    const OrigenPtr sd = carpetaGuion(QStringLiteral("/media/u/SD"));
    g.unidades = {usb, sd};
    g.subcarpetas[usb->ruta] = {carpetaGuion(QStringLiteral("/media/u/USB/cam2"), QStringLiteral("carpeta")),
                                carpetaGuion(QStringLiteral("/media/u/USB/cam10"), QStringLiteral("carpeta"))};
    g.subcarpetas[QStringLiteral("/media/u/USB/cam10")] = {
        carpetaGuion(QStringLiteral("/media/u/USB/cam10/dia1"), QStringLiteral("carpeta"))};
    g.equipos = {equipoGuion(QStringLiteral("10.77.0.5"), QStringLiteral("hikvision")),
                 equipoGuion(QStringLiteral("10.77.0.6"), QStringLiteral("dahua"), {80})};
    VentanaGuion v(g);
    v.barrer();
    EXPECT_EQ(VentanaGuion::textos(v.c->nUSB), (QStringList{"USB", "SD"}));
    EXPECT_EQ(VentanaGuion::textos(v.c->nRED), (QStringList{"10.77.0.5  ·  hikvision", "10.77.0.6  ·  dahua"}));
    EXPECT_EQ(v.c->lEstado->text(), QStringLiteral("2 dispositivos · 2 equipos en red"));

    const NodoPtr nUsb = v.c->nUSB->hijos[0];
    const NodoPtr nSd = v.c->nUSB->hijos[1];
    EXPECT_TRUE(nUsb->expandible());
    EXPECT_FALSE(nUsb->cargado);
    EXPECT_FALSE(nSd->expandible()) << "a drive without sub-folders shows no arrow";
    EXPECT_FALSE(g.llamadas().join(QLatin1Char('\n')).contains(QStringLiteral("subcarpetas")))
        << "nothing is read before the row is opened";

    // Choosing a drive shows it and opens it, which reads its sub-folders once.
    v.elegir(nUsb);
    EXPECT_EQ(v.c->actual, usb);
    EXPECT_EQ(v.c->lTit->text(), QStringLiteral("USB"));
    EXPECT_EQ(v.c->lDet->text(), QStringLiteral("Carpeta · /media/u/USB"));
    EXPECT_FALSE(v.c->pCred->isVisible());
    EXPECT_FALSE(v.c->pRtsp->isVisible());
    EXPECT_EQ(v.c->lCuenta->text(), QStringLiteral("Un clic abre sus subcarpetas; doble clic busca los vídeos de aquí."));
    EXPECT_TRUE(v.c->expandida(nUsb));
    EXPECT_EQ(VentanaGuion::textos(nUsb), (QStringList{"cam2", "cam10"}));
    EXPECT_EQ(g.llamadas().count(QStringLiteral("subcarpetas /media/u/USB")), 1);
    EXPECT_FALSE(nUsb->hijos[0]->expandible());
    EXPECT_TRUE(nUsb->hijos[1]->expandible());
    EXPECT_FALSE(nUsb->hijos[1]->cargado);

    // A device row: credentials, and the live row only with RTSP.
    v.elegir(v.c->nRED->hijos[0]);
    EXPECT_TRUE(v.c->pCred->isVisible());
    EXPECT_TRUE(v.c->pRtsp->isVisible());
    EXPECT_TRUE(v.c->lCuenta->text().startsWith(QStringLiteral("Hikvision/HiLook:")));
    v.elegir(v.c->nRED->hijos[1]);
    EXPECT_TRUE(v.c->pCred->isVisible());
    EXPECT_FALSE(v.c->pRtsp->isVisible());

    // A second sweep keeps the network heading as the user left it.
    v.c->arbol->collapse(v.indice(v.c->nRED));
    v.barrer();
    EXPECT_FALSE(v.c->expandida(v.c->nRED));
    v.c->arbol->expand(v.indice(v.c->nRED));
    v.barrer();
    EXPECT_TRUE(v.c->expandida(v.c->nRED));
    // The source on show stays chosen in the tree.
    EXPECT_EQ(v.c->actual, g.equipos[1]);
    const QModelIndexList elegidas = v.c->arbol->selectionModel()->selectedIndexes();
    ASSERT_EQ(elegidas.size(), 1);
    EXPECT_EQ(v.c->modeloArbol()->nodo(elegidas[0])->origen, g.equipos[1]);
}

TEST(ArbolCamaras, RtspYAyudasPorFamilia)
{
    struct Caso {
        const char* familia;
        QList<int> puertos;
        bool directo;
        const char* ayuda;
    };
    const Caso casos[] = {
        {"hikvision", {80}, false, "Hikvision/HiLook:"},
        {"dahua", {80, 554}, true, "Dahua/Imou/EZ-IP:"},
        {"ftp", {21}, false, "Servidor FTP:"},
        {"vstarcam", {81}, false, "Cámara «IP CAMERA»"},
        {"xiongmai", {34567}, false, "Cámara/DVR tipo Xiongmai"},
        {"rtsp", {}, true, "Cámara con directo RTSP"},
        {"onvif", {}, true, "Pon usuario y contraseña"},
        {"desconocida", {80}, false, "Pon usuario y contraseña"},
    };
    GuionCamaras g;
    for (const Caso& k : casos)
        g.equipos << equipoGuion(QStringLiteral("10.77.0.%1").arg(g.equipos.size() + 2), QString::fromUtf8(k.familia), k.puertos);
    VentanaGuion v(g);
    v.barrer();
    for (int i = 0; i < g.equipos.size(); ++i) {
        v.elegir(v.c->nRED->hijos[i]);
        EXPECT_EQ(v.c->pRtsp->isVisible(), casos[i].directo) << casos[i].familia;
        EXPECT_TRUE(v.c->lCuenta->text().startsWith(QString::fromUtf8(casos[i].ayuda))) << casos[i].familia;
    }
}

TEST(ArbolCamaras, EquipoPorDireccion)
{
    GuionCamaras g;
    g.familias[QStringLiteral("10.77.0.9")] = QStringLiteral("dahua");
    VentanaGuion v(g);
    v.barrer();
    struct Caso {
        const char* escrito;
        const char* ip;
        QList<int> puertos;
        const char* fila;
    };
    const Caso casos[] = {
        {" 10.77.0.9:8000 ", "10.77.0.9", {8000, 554, 21}, "10.77.0.9  ·  dahua"},
        {"10.77.0.10", "10.77.0.10", {80, 554, 21}, "10.77.0.10  ·  desconocida"},
    };
    for (const Caso& k : casos) {
        v.direccion = QString::fromUtf8(k.escrito);
        v.c->anadirIP();
        v.asentar();
        const NodoPtr fila = v.c->nRED->hijos.last();
        EXPECT_EQ(fila->texto, QString::fromUtf8(k.fila));
        ASSERT_TRUE(fila->origen);
        EXPECT_EQ(fila->origen->ip, QString::fromUtf8(k.ip));
        EXPECT_EQ(fila->origen->nombre, QString::fromUtf8(k.ip));
        EXPECT_EQ(fila->origen->puertos, k.puertos);
        EXPECT_EQ(v.c->actual, fila->origen) << "the new device is shown";
        EXPECT_TRUE(v.c->expandida(v.c->nRED));
        EXPECT_TRUE(v.c->expandida(v.c->nUSB)) << "open rows stay open";
        EXPECT_EQ(v.c->lEstado->text(), QString());
    }
    EXPECT_TRUE(g.llamadas().contains(QStringLiteral("familia 10.77.0.9 8000,554")));
    EXPECT_TRUE(g.llamadas().contains(QStringLiteral("familia 10.77.0.10 80,554")));
    EXPECT_EQ(v.c->nRED->hijos.size(), 2) << "the placeholder is gone";
    EXPECT_EQ(v.c->nRED->hijos[1]->origen->detalle, QStringLiteral("añadida a mano · desconocida"));

    for (const std::optional<QString>& nada : {std::optional<QString>(), std::optional<QString>(QStringLiteral("  \t"))}) {
        v.direccion = nada;
        v.c->anadirIP();
        v.asentar();
        EXPECT_EQ(v.c->nRED->hijos.size(), 2);
    }
}

TEST(ArbolCamaras, BarridoEnCursoGuardaSuBoton)
{
    GuionCamaras g;
    Retencion r;
    VentanaGuion v(g, [&](Operaciones& o) {
        o.buscarRed = [&](const Progreso& progreso) {
            progreso(50);
            r.punto()();
            return QList<OrigenPtr>{equipoGuion(QStringLiteral("10.77.0.5"), QStringLiteral("dahua"))};
        };
    });
    v.c->buscarTodo();
    ASSERT_TRUE(r.llegada());
    QCoreApplication::processEvents();
    EXPECT_EQ(v.c->lEstado->text(), QStringLiteral("Barriendo la red… 50 %"));
    EXPECT_EQ(VentanaGuion::textos(v.c->nUSB), QStringList{kSinUnidades}) << "drives are shown before the network";
    EXPECT_TRUE(v.c->nRED->hijos.isEmpty());
    EXPECT_FALSE(v.c->bBuscar->isEnabled());
    // Another job ending meanwhile does not hand the button back, and a second sweep waits.
    v.c->bloquear(true);
    v.c->bloquear(false);
    EXPECT_FALSE(v.c->bBuscar->isEnabled());
    v.c->buscarTodo();
    r.soltar();
    v.asentar();
    EXPECT_EQ(g.llamadas().count(QStringLiteral("buscarUnidades")), 1);
    EXPECT_TRUE(v.c->bBuscar->isEnabled());
    EXPECT_EQ(VentanaGuion::textos(v.c->nRED), QStringList{"10.77.0.5  ·  dahua"});
    EXPECT_EQ(v.c->lEstado->text(), QStringLiteral("0 dispositivos · 1 equipos en red"));
}

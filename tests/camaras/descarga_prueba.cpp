// Downloads and live recordings: where files land, their names on a clash, the record
// beside each, failures per row, progress while it runs, and what the run reports.
#include "apoyo/espacio_red.h"
#include "apoyo/grabador_falso.h"
#include "apoyo/impresion.h"
#include "apoyo/nombres_crudos.h"
#include "apoyo/programa.h"
#include "apoyo/servidor_ftp.h"
#include "apoyo/videos.h"
#include "apoyo_camaras.h"
#include "camaras/operaciones.h"
#include "comun/nombres.h"
#include "grabadores/descargas.h"
#include "custodia/registro.h"
#include "custodia/verificar.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// The SHA-256 line of a file's record matches the file's bytes.
void registroCuadra(const QString& ruta)
{
    const QString registro = QString::fromUtf8(leerArchivo(ruta + QStringLiteral(".txt")));
    const QByteArray datos = leerArchivo(ruta);
    EXPECT_TRUE(registro.contains(QStringLiteral("SHA-256: ") + sha(datos) + QLatin1Char('\n'))) << registro.toStdString();
    EXPECT_TRUE(registro.contains(QStringLiteral("Tamaño: ") + QString::number(datos.size()) + QStringLiteral(" bytes")));
    EXPECT_TRUE(registro.contains(QStringLiteral("Fichero: ") + QFileInfo(ruta).fileName() + QLatin1Char('\n')));
}

// The program's own routines for the rest of the window's scripted table.
void reales(Operaciones& o)
{
    Operaciones r = operacionesReales();
    std::tie(r.buscarUnidades, r.buscarRed, r.familia, r.detectarFamilia) = std::tie(o.buscarUnidades, o.buscarRed, o.familia, o.detectarFamilia);
    o = r;
}

// Shows `filas`, downloads them all and waits: each one's state by its locator.
QMap<QString, QString> bajarTodo(VentanaGuion& v, const QList<FicheroPtr>& filas)
{
    v.c->pintarLista(filas);
    v.c->marcarTodos();
    v.c->descargar();
    v.asentar();
    QMap<QString, QString> r;
    for (const FicheroPtr& f : filas)
        r[f->dato] = f->estado.value_or(QString());
    return r;
}

const QString CORTADA = QStringLiteral("ERROR: la cámara cortó la transferencia antes de terminar");

} // namespace

TEST(DescargaCamaras, LoteConChoquesErroresYResumen)
{
    GuionCamaras g;
    const OrigenPtr nvr = equipoGuion(QStringLiteral("10.77.0.5"), QStringLiteral("hikvision"));
    const OrigenPtr xm = equipoGuion(QStringLiteral("10.77.0.7"), QStringLiteral("xiongmai"));
    g.equipos = {nvr, xm};
    const QDateTime t = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9));
    g.listados[QStringLiteral("hikvision")] = [&](const OrigenPtr& o) {
        return QList<FicheroPtr>{grabacionGuion(o, QStringLiteral("2024-03-05-14-07-09.mp4"), t, 0, QStringLiteral("uno")),
                                 grabacionGuion(o, QStringLiteral("2024-03-05-14-07-09.mp4"), t, 0, QStringLiteral("dos")),
                                 grabacionGuion(o, QStringLiteral("2024-03-05-14-07-09.mp4"), t, 0, QStringLiteral("tres")),
                                 grabacionGuion(o, QStringLiteral("mala.mp4"), t.addSecs(-60), 0, QStringLiteral("mala")),
                                 grabacionGuion(o, QStringLiteral("../../fuera.mp4"), t.addSecs(-120), 0, QStringLiteral("fuera"))};
    };
    g.contenidos[QStringLiteral("uno")] = QByteArray(300000, '1');
    g.contenidos[QStringLiteral("dos")] = QByteArray(70000, '2');
    // Failures that may pass: tried again, resumed (twice), or given up after three more.
    g.fallosPorIntento = {{"dos", {"la cámara no respondió", "se perdió la conexión"}},
                          {"mala", QStringList(4, QStringLiteral("la cámara no respondió"))}};
    g.reescribeCabeza = true;  // as ffmpeg does when it moves the index to the front
    g.rutaRTSP = QStringLiteral("/Streaming/Channels/101");
    VentanaGuion v(g, [](Operaciones& o) { o.pausasReintento = {300, 0, 0}; });
    v.barrer();

    // A live recording first, so the summary counts it.
    v.elegir(v.c->nRED->hijos[0]);
    v.c->bGrabar->click();
    v.asentar();
    ASSERT_EQ(v.c->descargados.size(), 1);

    v.c->bListar->click();
    v.asentar();
    ASSERT_EQ(v.c->ficheros.size(), 5);
    v.c->bTodos->click();
    EXPECT_EQ(v.c->bDesc->text(), QStringLiteral("Descargar marcados (5)"));
    v.c->bDesc->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return v.c->ficheros[1]->estado == QStringLiteral("reintento 1 de 3…"); }, 5000));
    v.asentar();

    const QString sub = v.base + QStringLiteral("/Robo 12/camaras/10.77.0.5");
    const QStringList ficheros = todo(sub);
    ASSERT_EQ(ficheros.size(), 8) << ficheros.join(QLatin1Char(' ')).toStdString();
    const QRegularExpression sellado(QStringLiteral("^2024-03-05-14-07-09-\\d{6}(-2)?\\.mp4$"));
    int sellados = 0, reanudados = 0;
    for (const QString& f : ficheros) {
        EXPECT_FALSE(f.startsWith(QLatin1Char('.'))) << "hidden or temporary file: " << f.toStdString();
        reanudados += leerArchivo(sub + '/' + f).contains("\nIntentos: 3 (reanudada en 23333 bytes, 46666 bytes)\n");
        if (f.endsWith(QLatin1String(".txt")))
            continue;
        registroCuadra(sub + QLatin1Char('/') + f);
        sellados += sellado.match(f).hasMatch() ? 1 : 0;
    }
    EXPECT_EQ(sellados, 2) << "same names get the time of day, and never replace each other";
    EXPECT_EQ(reanudados, 1);
    EXPECT_TRUE(ficheros.contains(QStringLiteral("2024-03-05-14-07-09.mp4")));
    EXPECT_TRUE(ficheros.contains(QStringLiteral("---..-fuera.mp4"))) << "a device's name stays inside the folder";
    QByteArray uno(300000, '1');
    uno[0] = 'Z';
    EXPECT_EQ(leerArchivo(sub + QStringLiteral("/2024-03-05-14-07-09.mp4")), uno);

    QStringList estados;
    for (const FicheroPtr& f : v.c->ficheros)
        estados << f->estado.value_or(QStringLiteral("-"));
    EXPECT_EQ(estados, (QStringList{"descargado", "descargado", "descargado", "ERROR: la cámara no respondió", "descargado"}));
    // The failed one stays ticked (it cannot be unticked): the button offers to try it again.
    for (const FicheroPtr& f : v.c->ficheros)
        EXPECT_EQ(f->marcado, f->estado != QStringLiteral("descargado"));
    EXPECT_EQ(v.c->descargados.size(), 5);
    EXPECT_EQ(v.c->lCuenta->text(), QStringLiteral("5 ficheros descargados en ") + v.c->destino);
    // Every file of the run, the live one first, in the case's register; the check agrees.
    QStringList dichas;
    EXPECT_EQ(verificarCarpeta(v.base + QStringLiteral("/Robo 12"), [&](const QString& t) { dichas << t; }), 0);
    EXPECT_TRUE(dichas.last().startsWith(QStringLiteral("todo coincide: 5 entradas, 5 ficheros"))) << dichas.join('\n').toStdString();
    EXPECT_TRUE(leerArchivo(v.base + QStringLiteral("/Robo 12/") + kNombreRegistro).contains("\"intentos\":3,\"reanudadaEn\":[23333,46666]"));
    EXPECT_TRUE(QFile::exists(v.base + QStringLiteral("/Robo 12/registro-de-custodia.html")));
    EXPECT_FALSE(v.c->ocupado);
    EXPECT_FALSE(v.c->barra->isVisible());
    EXPECT_FALSE(v.c->lProg->isVisible());
    EXPECT_TRUE(v.c->lDest->isVisible());
    EXPECT_EQ(v.c->bDesc->text(), QStringLiteral("Descargar marcados (1)"));
    // One click tries the failed row alone again; a refusal is not tried a second time.
    g.fallosPorIntento[QStringLiteral("mala")] = {QStringLiteral("!usuario o contraseña incorrectos")};
    ASSERT_TRUE(v.c->bReintentar->isVisible());
    v.c->bReintentar->click();
    v.asentar();
    EXPECT_EQ(g.llamadas().filter(QStringLiteral("descargar ")).size(), 11);
    EXPECT_EQ(v.c->ficheros[3]->estado, QStringLiteral("ERROR: usuario o contraseña incorrectos"));

    // A family that cannot be downloaded.
    auto suelta = grabacionGuion(xm, QStringLiteral("x.mp4"), t, 0, QStringLiteral("x"));
    v.c->pintarLista({suelta});
    v.marcar(0);
    v.c->descargar();
    v.asentar();
    EXPECT_EQ(suelta->estado.value_or(QString()), QStringLiteral("ERROR: familia desconocida"));

    // Closing reports every new path, in order, one per line.
    v.c->ventana->close();
    ASSERT_TRUE(v.fin);
    EXPECT_EQ(v.fin->first, 0);
    EXPECT_EQ(v.fin->second, v.c->descargados.join(QLatin1Char('\n')));
    EXPECT_FALSE(v.fin->second.endsWith(QLatin1Char('\n')));
}

TEST(DescargaCamaras, CopiaDeUnidadYFicheroQueDesaparece)
{
    GuionCamaras g;
    QTemporaryDir medio;
    const OrigenPtr usb = carpetaGuion(medio.path() + QStringLiteral("/USB"));
    g.unidades = {usb};
    ASSERT_TRUE(escribirArchivo(usb->ruta + QStringLiteral("/a.mp4"), QByteArray(5000, 'a')));
    ASSERT_TRUE(escribirArchivo(usb->ruta + QStringLiteral("/b.mp4"), QByteArray(10, 'b')));
    const QDateTime t = QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5));
    g.videos[usb->ruta] = {grabacionGuion(usb, QStringLiteral("a.mp4"), t, 5000, usb->ruta + QStringLiteral("/a.mp4")),
                           grabacionGuion(usb, QStringLiteral("b.mp4"), t.addSecs(-1), 10, usb->ruta + QStringLiteral("/b.mp4"))};
    VentanaGuion v(g, {}, QString());
    v.barrer();
    v.elegir(v.c->nUSB->hijos[0]);
    v.c->dobleArbol(v.indice(v.c->nUSB->hijos[0]));
    v.asentar();
    ASSERT_EQ(v.c->ficheros.size(), 2);
    QFile::remove(usb->ruta + QStringLiteral("/b.mp4"));  // pulled out after the listing
    v.c->bTodos->click();
    v.c->bDesc->click();
    v.asentar();
    const QString sub = v.base + QStringLiteral("/camaras/USB");
    EXPECT_EQ(todo(sub), (QStringList{"a.mp4", "a.mp4.txt"}));
    registroCuadra(sub + QStringLiteral("/a.mp4"));
    const QString registro = QString::fromUtf8(leerArchivo(sub + QStringLiteral("/a.mp4.txt")));
    EXPECT_TRUE(registro.contains(QStringLiteral("Origen: unidad «USB»")));
    EXPECT_TRUE(registro.contains(QStringLiteral("Ruta del origen: ") + usb->ruta));
    EXPECT_TRUE(registro.contains(QStringLiteral("Ubicación en el origen: ") + usb->ruta + QStringLiteral("/a.mp4")));
    EXPECT_TRUE(v.c->ficheros[1]->estado.value_or(QString()).startsWith(QStringLiteral("ERROR: no se pudo abrir ")));
    EXPECT_EQ(v.c->descargados, QStringList{sub + QStringLiteral("/a.mp4")});
}

TEST(DescargaCamaras, MientrasDescargaLaVentanaLoDice)
{
    GuionCamaras g;
    const OrigenPtr nvr = equipoGuion(QStringLiteral("10.77.0.5"), QStringLiteral("dahua"));
    g.equipos = {nvr};
    g.listados[QStringLiteral("dahua")] = [](const OrigenPtr& o) {
        return QList<FicheroPtr>{grabacionGuion(o, QStringLiteral("a.dav"), QDateTime::currentDateTime()),
                                 grabacionGuion(o, QStringLiteral("b.dav"), QDateTime::currentDateTime().addSecs(-5))};
    };
    Retencion r;
    g.alEmpezar = r.punto();
    VentanaGuion v(g);
    v.barrer();
    v.elegir(v.c->nRED->hijos[0]);
    v.c->bListar->click();
    v.asentar();
    v.c->bTodos->click();
    v.c->bDesc->click();
    ASSERT_TRUE(r.llegada());
    QCoreApplication::processEvents();
    EXPECT_TRUE(v.c->ocupado);
    EXPECT_EQ(v.c->lProg->text(), QStringLiteral("(1 de 2) a.dav…"));
    EXPECT_TRUE(v.c->lProg->isVisible());
    EXPECT_TRUE(v.c->barra->isVisible());
    EXPECT_FALSE(v.c->lDest->isVisible());
    EXPECT_FALSE(v.c->bDesc->isEnabled());
    EXPECT_FALSE(v.c->bListar->isEnabled());
    EXPECT_TRUE(v.c->bFin->isEnabled());
    ModeloLista* m = v.c->modeloLista();
    EXPECT_FALSE(m->flags(m->index(1, ModeloLista::x)) & Qt::ItemIsEnabled);
    // A temporary, hidden name while the bytes arrive; nothing under the final one.
    const QString sub = v.base + QStringLiteral("/Robo 12/camaras/10.77.0.5");
    EXPECT_TRUE(todo(sub).isEmpty() || todo(sub) == QStringList{".a.parcial.dav"}) << todo(sub).join(' ').toStdString();
    r.soltar();
    ASSERT_TRUE(r.llegada());
    ASSERT_TRUE(QTest::qWaitFor([&] { return v.c->lProg->text().startsWith(QStringLiteral("(2 de 2) b.dav…")); }, 10000));
    EXPECT_EQ(todo(sub), (QStringList{".b.parcial.dav", "a.dav", "a.dav.txt"}));
    r.soltar();
    v.asentar();
    EXPECT_FALSE(v.c->ocupado);
    EXPECT_EQ(v.c->descargados.size(), 2);
}

TEST(DescargaCamaras, DirectoDuracionesYFallos)
{
    struct Caso {
        const char* escrito;
        int segundos;
    };
    const Caso casos[] = {{"2", 5}, {"99999", 3600}, {"letras", 60}, {"45", 45}};
    GuionCamaras g;
    g.equipos = {equipoGuion(QStringLiteral("10.77.0.5"), QStringLiteral("rtsp"), {554})};
    g.rutaRTSP = QStringLiteral("/live");
    VentanaGuion v(g);
    v.barrer();
    v.elegir(v.c->nRED->hijos[0]);
    for (const Caso& k : casos) {
        v.c->nSeg->setText(QString::fromUtf8(k.escrito));
        v.c->bGrabar->click();
        EXPECT_EQ(v.c->nSeg->text(), QString::number(k.segundos));
        v.asentar();
        EXPECT_EQ(g.llamadas().last(), QStringLiteral("grabarRTSP 10.77.0.5 /live ") + QString::number(k.segundos)
                                           + QStringLiteral(" /opt/z/bin/ffmpeg"));
        ASSERT_FALSE(v.c->descargados.isEmpty());
        EXPECT_EQ(v.c->lCuenta->text(), QStringLiteral("Grabado: ") + v.c->descargados.last());
    }
    EXPECT_TRUE(g.llamadas().contains(QStringLiteral("probarRTSP 10.77.0.5 /opt/z/bin/ffprobe")));
    for (const QString& ruta : v.c->descargados) {
        EXPECT_EQ(QFileInfo(ruta).path(), v.c->destino);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^directo-10\\.77\\.0\\.5-\\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d(-\\d{6}(-\\d+)?)?\\.mp4$"))
                        .match(QFileInfo(ruta).fileName())
                        .hasMatch())
            << ruta.toStdString();
        registroCuadra(ruta);
        EXPECT_TRUE(QString::fromUtf8(leerArchivo(ruta + QStringLiteral(".txt")))
                        .contains(QStringLiteral("Ubicación en el origen: rtsp://10.77.0.5:554/live")));
    }
    EXPECT_EQ(QSet<QString>(v.c->descargados.begin(), v.c->descargados.end()).size(), v.c->descargados.size());

    g.segundosGrabados = 2.4;  // a stream that froze: said in the count line and the record
    v.c->nSeg->setText(QStringLiteral("5"));
    v.c->bGrabar->click();
    v.asentar();
    EXPECT_EQ(v.c->lCuenta->text(), QStringLiteral("Grabado (2 s de 5): ") + v.c->descargados.last());
    EXPECT_TRUE(QString::fromUtf8(leerArchivo(v.c->descargados.last() + ".txt"))
                    .contains("Duración pedida: 5 s\nNota: solo se grabaron 2 s de los 5 s pedidos"));

    // No path answers: no file, the bottom bar back to the destination.
    g.rutaRTSP.reset();
    const int antes = int(todo(v.c->destino).size());
    v.c->bGrabar->click();
    EXPECT_TRUE(v.c->lProg->isVisible());
    EXPECT_EQ(v.c->lProg->text(), QStringLiteral("Probando rutas RTSP de la cámara…"));
    v.asentar();
    EXPECT_EQ(v.c->lCuenta->text(), QStringLiteral("No se encontró un directo RTSP con esas credenciales"));
    EXPECT_EQ(todo(v.c->destino).size(), antes);
    EXPECT_TRUE(v.c->lDest->isVisible());
    EXPECT_FALSE(v.c->barra->isVisible());
    EXPECT_FALSE(v.c->ocupado);

    // A register that cannot take the entry: no file the register does not name stays.
    const QString registro = v.base + QStringLiteral("/Robo 12/") + kNombreRegistro;
    ASSERT_TRUE(QFile::remove(registro) && QDir().mkpath(registro));
    g.rutaRTSP = QStringLiteral("/live");
    v.c->bGrabar->click();
    v.asentar();
    EXPECT_TRUE(v.c->lCuenta->text().startsWith(QStringLiteral("La grabación falló: no se pudo anotar en el registro de custodia: ")))
        << v.c->lCuenta->text().toStdString();
    EXPECT_EQ(todo(v.c->destino).size(), antes);
}

TEST(DescargaCamaras, SinRutinasYSinNada)
{
    GuionCamaras g;
    g.equipos = {equipoGuion(QStringLiteral("10.77.0.5"), QStringLiteral("ftp"), {21, 554})};
    g.listados[QStringLiteral("ftp")] = [](const OrigenPtr& o) {
        return QList<FicheroPtr>{grabacionGuion(o, QStringLiteral("CH01.MP4"))};
    };
    g.rutaRTSP = QStringLiteral("/11");
    VentanaGuion v(g, [](Operaciones& o) {
        o.descargar.clear();
        o.grabarRTSP = nullptr;
    });
    v.barrer();
    v.elegir(v.c->nRED->hijos[0]);
    v.c->bListar->click();
    v.asentar();
    v.marcar(0);
    v.c->bDesc->click();
    v.asentar();
    EXPECT_EQ(v.c->ficheros[0]->estado.value_or(QString()), QStringLiteral("ERROR: esta versión aún no sabe descargar de ftp"));
    v.c->bGrabar->click();
    v.asentar();
    EXPECT_EQ(v.c->lCuenta->text(), QStringLiteral("Grabar el directo aún no está disponible en esta versión."));
    EXPECT_FALSE(v.c->ocupado);

    // Nothing new: the run ends with status 1 and no output.
    v.c->bFin->click();
    ASSERT_TRUE(v.fin);
    EXPECT_EQ(v.fin->first, 1);
    EXPECT_EQ(v.fin->second, QString());
}

// Closing mid-job: a download half done is dropped (it can be fetched again); a live
// recording is stopped and kept, since what the stream showed cannot.
TEST(DescargaCamaras, CerrarAMitad)
{
    for (const bool directo : {false, true}) {
        SCOPED_TRACE(directo ? "directo" : "descarga");
        GuionCamaras g;
        g.equipos = {equipoGuion(QStringLiteral("10.77.0.5"), QStringLiteral("hikvision"))};
        g.listados[QStringLiteral("hikvision")] = [](const OrigenPtr& o) {
            return QList<FicheroPtr>{grabacionGuion(o, QStringLiteral("a.mp4"), QDateTime::currentDateTime())};
        };
        g.rutaRTSP = QStringLiteral("/live");
        g.directoHastaParar = true;
        Retencion r;
        if (!directo)
            g.trasPrimerTrozo = r.punto();
        VentanaGuion v(g);
        v.barrer();
        v.elegir(v.c->nRED->hijos[0]);
        if (directo) {
            v.c->nSeg->setText(QStringLiteral("600"));
            v.c->grabarDirecto();
            ASSERT_TRUE(QTest::qWaitFor([&] { return todo(v.c->destino).size() == 1; }, 10000));
        } else {
            v.c->listarRed();
            v.asentar();
            v.marcar(0);
            v.c->descargar();
            ASSERT_TRUE(r.llegada());
        }
        EXPECT_EQ(todo(v.c->destino).size(), 1) << "the temporary file is being written";
        v.c->ventana->close();
        ASSERT_TRUE(v.fin);
        if (!directo) {
            EXPECT_EQ(v.fin->first, 1);
            EXPECT_EQ(todo(v.c->destino), QStringList());
            r.soltar();
            v.asentar();
            continue;
        }
        EXPECT_EQ(v.fin->first, 0);
        const QString ruta = v.fin->second;
        EXPECT_EQ(v.c->descargados, QStringList{ruta});
        const QString nombre = QFileInfo(ruta).fileName();
        EXPECT_EQ(todo(v.c->destino), (QStringList{nombre, nombre + QStringLiteral(".txt")}));
        EXPECT_EQ(leerArchivo(ruta), g.directo + "fin") << "stopped, not cut off";
        registroCuadra(ruta);
        const QString registro = QString::fromUtf8(leerArchivo(ruta + QStringLiteral(".txt")));
        EXPECT_TRUE(registro.contains(QStringLiteral("Duración pedida: 600 s\nNota: grabación detenida al cerrar la ventana")))
            << registro.toStdString();
        v.asentar();
    }
}

TEST(DescargaCamaras, CarpetaRealConLasRutinasDelPrograma)
{
    // The program's own drive and folder routines; nothing that touches the network.
    GuionCamaras g;
    VentanaGuion v(g, [](Operaciones& o) {
        o = operacionesReales();
        o.buscarUnidades = nullptr;
        o.buscarRed = nullptr;
        o.familia = nullptr;
        o.detectarFamilia = nullptr;
    });
    QTemporaryDir medio;
    const QString raiz = medio.path() + QStringLiteral("/EXPORT");
    ASSERT_TRUE(escribirArchivo(raiz + QStringLiteral("/cam10/a.MP4"), QByteArray(70000, 'a')));
    ASSERT_TRUE(escribirArchivo(raiz + QStringLiteral("/cam2/b.mp4"), QByteArray(10, 'b')));
    ASSERT_TRUE(escribirArchivo(raiz + QStringLiteral("/cam2/notas.txt"), "no"));
    // A name with a line break would split its path in two on the player's side.
    ASSERT_TRUE(escribirArchivo(raiz + QStringLiteral("/cam2/salto\nde línea.mp4"), "s"));
    ASSERT_TRUE(escribirArchivo(raiz + QStringLiteral("/.oculta/c.mp4"), "c"));
    ASSERT_TRUE(escribirCrudo(QFile::encodeName(raiz) + "/cam2/caf\xe9.mp4", "latin-1"));  // copied by its bytes
    v.barrer();
    v.carpeta = raiz;
    v.c->abrirCarpeta();
    const NodoPtr fila = v.c->nUSB->hijos.value(0);
    ASSERT_TRUE(fila);
    EXPECT_EQ(VentanaGuion::textos(fila), (QStringList{"cam2", "cam10"}));
    v.c->dobleArbol(v.indice(fila));
    v.asentar();
    QStringList nombres = v.celdas(ModeloLista::nombre);
    nombres.sort();
    EXPECT_EQ(nombres, (QStringList{"a.MP4", "b.mp4", QStringLiteral("caf") + QChar(0xDCE9) + ".mp4", "salto\nde línea.mp4"}));
    v.c->bTodos->click();
    v.c->bDesc->click();
    v.asentar();
    ASSERT_EQ(v.c->descargados.size(), 4);
    EXPECT_EQ(leerArchivo(v.c->descargados.filter(QStringLiteral("/caf-.mp4")).value(0)), "latin-1");
    for (const QString& ruta : v.c->descargados) {
        EXPECT_TRUE(ruta.startsWith(v.c->destino + QStringLiteral("/EXPORT  (-"))) << ruta.toStdString();
        EXPECT_FALSE(ruta.contains(QLatin1Char('\n'))) << ruta.toStdString();
        registroCuadra(ruta);
    }
    unlink((QFile::encodeName(raiz) + "/cam2/caf\xe9.mp4").constData());  // Qt cannot name it to clean up
}

// Recorders that cut a transfer with no length, answer with a status page, name a file in
// Latin-1, or whose conversion ends well without an index.
TEST(DescargaCamaras, GrabadoresQueCortanAvisanOConviertenMal)
{
    if (!puedeCrearEspacios() || !hayFfmpeg())
        GTEST_SKIP() << "hace falta ser root y ffmpeg";
    EspacioRed red(43, 29);
    OpcionesGrabador og;
    og.direccion = red.ipServidor;
    og.espacio = red.servidor;
    GrabadorFalso g(og);
    ASSERT_TRUE(red.listo() && g.listo()) << g.error().toStdString();
    const QByteArray bytes(4000, 'v'), crudo = envolverHXVT(fotogramasDe(videoCrudo(50)));
    for (const char* fallo : {"", ".sinLargo", ".aviso", ".pagina"})
        g.grabacion(QStringLiteral("v%1").arg(fallo), bytes);
    const QString h = QDateTime::currentDateTimeUtc().addSecs(-3600).toString(Qt::ISODate), latin1 = textoDeBytes("/mnt/caf\xe9.dav");
    const QString d = QDateTime::currentDateTime().addSecs(-3600).toString("yyyy-MM-dd HH:mm:ss");
    g.hikvision({{h, h, "rtsp://x/a\\nb?size=4000", "v"}, {h, h, "rtsp://x/c?size=4000", "v.sinLargo"}, {h, h, "rtsp://x/d?size=4000", "v.aviso"}});
    g.dahua({{d, d, latin1, std::nullopt, "v"}, {d, d, "/mnt/b.dav", std::nullopt, "v.sinLargo"}, {d, d, "/mnt/c.dav", std::nullopt, "v.pagina"}});
    const QString tarjeta = QDate::currentDate().toString("yyyyMMdd/'r/P'yyMMdd_'000000_000100.264'");
    g.tarjeta(tarjeta, crudo);
    QTemporaryDir bin;  // an ffmpeg that ends well without writing its index, as on a full disk
    escribirArchivo(bin.filePath("ffmpeg"), "#!/bin/sh\n/usr/bin/ffmpeg \"$@\" || exit\nfor f; do :; done\ntruncate -s 48 \"$f\"\n");
    QFile::setPermissions(bin.filePath("ffmpeg"), QFileDevice::ExeOwner | QFileDevice::ReadOwner);
    QFile::link("/usr/bin/ffprobe", bin.filePath("ffprobe"));
    GuionCamaras guion;
    guion.equipos = {equipoGuion(og.direccion, "hikvision")};
    const DentroDe dentro(red.cliente);
    VentanaGuion v(guion, reales, "Robo 12", bin.filePath("ffmpeg"));
    v.barrer();
    v.elegir(v.c->nRED->hijos[0]);
    v.c->tP->setText(og.clave);
    QMap<QString, QString> e;
    for (const char* familia : {"hikvision", "dahua", "vstarcam"}) {
        guion.equipos[0]->familia = familia;
        v.c->bListar->click();
        v.asentar();
        e.insert(bajarTodo(v, v.c->ficheros));
    }
    const QString aviso = QStringLiteral("ERROR: la cámara envió un aviso en lugar de la grabación: ");
    EXPECT_EQ(e, (QMap<QString, QString>{{"rtsp://x/a\\nb?size=4000", "descargado"}, {"rtsp://x/c?size=4000", CORTADA},
                                         {"rtsp://x/d?size=4000", aviso + "Invalid Content (badParameters)"}, {latin1, "descargado"},
                                         {"/mnt/b.dav", CORTADA}, {"/mnt/c.dav", aviso + "Error 500: disco lleno"},
                                         {"/sd/" + tarjeta, "descargado sin convertir: el MP4 convertido no tiene vídeo que se pueda leer"}}));
    ASSERT_EQ(v.c->descargados.size(), 3);
    const QString hik = v.c->descargados[0], dah = v.c->descargados[1], raw = v.c->descargados[2];
    EXPECT_EQ(todo(v.c->destino).size(), 6) << "nothing else, no partial file";
    EXPECT_EQ(leerArchivo(dah), bytes);
    EXPECT_TRUE(raw.endsWith(".264") && leerArchivo(raw) == crudo) << "the camera's own recording, kept";
    const auto registro = [](const QString& r) { return QString::fromUtf8(leerArchivo(r + ".txt")); };
    EXPECT_TRUE(registro(hik).contains("Ubicación en el origen: rtsp://x/a\\\\nb?size=4000\nInicio")) << registro(hik).toStdString();
    EXPECT_TRUE(registro(hik).contains("Tamaño esperado: 4000 bytes\n"));
    EXPECT_TRUE(registro(dah).contains("Ubicación en el origen: /mnt/caf\\xE9.dav\n"));
    EXPECT_TRUE(registro(raw).contains("Tamaño esperado: desconocido\n") && registro(raw).contains("Nota: no se pudo convertir a MP4"));
}

// FTP with proxies set, a file cut short, links, a Latin-1 name, 25000 recordings, a killed
// run's partial files and a listing that hangs when the window closes.
TEST(DescargaCamaras, FTPConProxyCortesNombresCrudosTopeYRestos)
{
    // Proxies set for curl, where nothing answers: a listing through them finds nothing.
    const QByteArray proxy = "http://127.0.0.1:9", home = qgetenv("HOME");
    QTemporaryDir casa;
    escribirArchivo(casa.filePath(".curlrc"), "proxy = " + proxy + "\n");
    qputenv("HOME", casa.path().toUtf8());
    qputenv("ftp_proxy", proxy);
    qputenv("all_proxy", proxy);
    ServidorFTP s;
    ASSERT_TRUE(s.listo()) << s.error().toStdString();
    s.poner("CH01.MP4", QByteArray(3000, 'a'));
    s.poner("corta.mp4", QByteArray(3000, 'b'));
    s.poner("listado-25000-mp4/vacia", {});
    s.poner("zz/x.mp4", "x");  // reached first through a link; loops and file links listed right
    for (const auto& [destino, enlace] : {std::pair{"zz", "0sd"}, {".", "bucle"}, {"CH01.MP4", "clip.mp4"}})
        QFile::link(destino, s.raiz() + '/' + enlace);
    const QByteArray latin1 = bytesDeTexto(s.raiz()) + "/caf\xe9.mp4";
    ASSERT_TRUE(escribirCrudo(latin1, "latin-1"));
    GuionCamaras g;
    g.equipos = {equipoGuion(s.direccion(), "ftp", {21})};
    VentanaGuion v(g, reales);
    v.barrer();
    v.elegir(v.c->nRED->hijos[0]);
    v.c->tP->setText("clave");
    v.c->bListar->click();
    v.asentar();
    ASSERT_EQ(v.c->ficheros.size(), 20000);
    EXPECT_TRUE(v.c->lCuenta->text().contains("listado incompleto, listado parado en 20000 grabaciones")) << v.c->lCuenta->text().toStdString();
    const QString sub = v.c->destino + '/' + QString(s.direccion()).replace(':', '-');
    escribirArchivo(sub + "/.muerto.parcial.mp4", "x");  // a killed run's partial file: it goes
    const BloqueoParcial vivo(sub + "/.vivo.parcial.mp4");  // one a live process writes: it stays
    const QMap<QString, QString> e = bajarTodo(v, v.c->ficheros.mid(0, 5));
    qputenv("HOME", home);
    qunsetenv("ftp_proxy");
    qunsetenv("all_proxy");
    EXPECT_EQ(e, (QMap<QString, QString>{{"/0sd/x.mp4", "descargado"}, {"/CH01.MP4", "descargado"}, {textoDeBytes("/caf\xe9.mp4"), "descargado"},
                                         {"/clip.mp4", "descargado"}, {"/corta.mp4", CORTADA}}));
    EXPECT_EQ(todo(sub), (QStringList{".vivo.parcial.mp4", "CH01.MP4", "CH01.MP4.txt", "caf_.mp4", "caf_.mp4.txt", "clip.mp4",
                                      "clip.mp4.txt", "x.mp4", "x.mp4.txt"}));
    EXPECT_EQ(leerArchivo(sub + "/caf_.mp4"), "latin-1");
    EXPECT_TRUE(leerArchivo(sub + "/caf_.mp4.txt").contains("Ubicación en el origen: /caf\\xE9.mp4\n"));
    unlink(latin1.constData());  // Qt cannot name it to clean up
    s.poner("atasca/vacia", {});  // a listing that hangs: the window closes meanwhile
    v.c->bListar->click();
    QTest::qWait(500);
    QElapsedTimer t;
    t.start();
    v.c->ventana->close();
    v.asentar();
    EXPECT_LT(t.elapsed(), 3000);
}

// An NVR's channels listed, narrowed, the live one recorded and named; chosen dates listed.
TEST(DescargaCamaras, CanalesDeUnGrabadorYFechasElegidas)
{
    GuionCamaras g;
    g.equipos = {equipoGuion(QStringLiteral("10.77.0.5"), QStringLiteral("hikvision"))};
    const QList<Canal> canales = {{1, "Entrada"}, {2, "<i>Caja</i>"}, {3, ""}};
    g.canales[QStringLiteral("hikvision")] = canales;
    const QDateTime t(QDate(2024, 3, 5), QTime(14, 7, 9));
    g.listados[QStringLiteral("hikvision")] = [&](const OrigenPtr& o) {
        QList<FicheroPtr> l;
        for (const Canal& c : canales) {
            l << grabacionGuion(o, "a.mp4", t.addSecs(-c.numero));
            std::tie(l.last()->canal, l.last()->nombreCanal) = std::pair{c.numero, c.nombre};
        }
        return l;
    };
    g.rutaRTSP = QStringLiteral("/Streaming/Channels/201");
    VentanaGuion v(g);
    v.barrer();
    v.elegir(v.c->nRED->hijos[0]);
    v.c->bListar->click();
    v.asentar();
    EXPECT_EQ(v.celdas(ModeloLista::canal), QStringList({"1 · Entrada", "2 · <i>Caja</i>", "3"}));
    v.c->cCanal->setCurrentIndex(2);
    v.c->mostrarCanal();
    EXPECT_EQ(v.c->lCuenta->text(), QStringLiteral("Canal 2: 1 de 3 ficheros · 0 marcados"));
    v.c->bGrabar->click();
    v.asentar();
    EXPECT_TRUE(g.llamadas().contains(QStringLiteral("probarRTSP 10.77.0.5 /opt/z/bin/ffprobe canal 2")));
    EXPECT_TRUE(leerArchivo(v.c->descargados.value(0) + ".txt").contains("Canal: 2\nNombre del canal: <i>Caja</i>\n"));
    v.c->pedirFechas = [&](const auto&) { return std::optional(std::pair{t, t.addSecs(1800)}); };
    v.c->cCanal->setCurrentIndex(3);
    v.c->elegirPeriodo(4);
    v.c->bListar->click();
    v.asentar();
    EXPECT_EQ(g.llamadas().filter("listar ").last(), "listar hikvision 10.77.0.5 a medida 2024-03-05T14:07:09 2024-03-05T14:37:09 canal 3");
}

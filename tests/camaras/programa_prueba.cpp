// The whole program on a virtual display, inside a test network namespace that holds a
// camera with an FTP server and a live RTSP stream, and three recorders (Hikvision, Dahua,
// VStarcam): all found by the sweep, each listed with the credentials typed in the
// window, recordings downloaded from each, the live stream recorded, the window closed
// with the keyboard in the middle of a second live recording. And the program killed in
// the middle of a download. The program reaches the display through the X socket file,
// which the namespace does not hide; it reaches nothing but the test's own servers.
#include "apoyo/espacio_red.h"
#include "apoyo/grabador_falso.h"
#include "apoyo/pantalla.h"
#include "apoyo/programa.h"
#include "apoyo/servidor_ftp.h"
#include "apoyo/servidor_rtsp.h"
#include "apoyo/videos.h"
#include "apoyo_camaras.h"
#include "comun/ejecutar.h"
#include "estilo/color.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const QString USUARIO = QStringLiteral("admin");
const QString CLAVE = QStringLiteral("Clave7x");
// The devices, in the order the sweep lists them; the camera comes last.
const QString HIKVISION = QStringLiteral("10.77.90.2");
const QString DAHUA = QStringLiteral("10.77.90.3");
const QString VSTARCAM = QStringLiteral("10.77.90.4");
const QString CAMARA = QStringLiteral("10.77.90.5");
// Three recordings of one size; the server hands them out slowly enough for a download
// to be watched and interrupted.
const QStringList GRABACIONES = {QStringLiteral("2024-05-01/CH01-0800.mp4"), QStringLiteral("2024-05-01/CH01-0900.mp4"),
                                 QStringLiteral("2024-05-01/CH02-1000.mp4")};
constexpr int TAMANO = 600 * 1024;
constexpr int RITMO = 256 * 1024;

// Places in the window, in its own coordinates (the layout is fixed at 1080 x 680).
const QPoint ARBOL_VACIO(150, 540);  // below the tree's rows
const QRect ROTULO_USUARIO(322, 140, 56, 24);  // "Usuario": shown for network devices only
const QPoint USUARIO_CAMPO(437, 152);
const QPoint CLAVE_CAMPO(649, 152);
const QPoint LISTAR(1004, 152);
const QPoint SEGUNDOS(504, 186);
const QPoint GRABAR(702, 190);
const QRect LISTA(322, 216, 736, 360);
// Names in the list, left of where the header's "Fichero" could be.
const QRect NOMBRES(LISTA.x() + 29, LISTA.y(), 70, LISTA.height());
const int CASILLAS_X = LISTA.x() + 9;
const QRect DESCARGAR(776, 634, 200, 32);

bool parecido(QRgb a, const QColor& b)
{
    return std::abs(qRed(a) - b.red()) + std::abs(qGreen(a) - b.green()) + std::abs(qBlue(a) - b.blue()) < 24;
}

// How many pixels of `zona` have colour `c`.
int pixeles(const QImage& img, const QRect& zona, const QColor& c)
{
    int n = 0;
    for (int y = zona.top(); y <= zona.bottom(); ++y)
        for (int x = zona.left(); x <= zona.right(); ++x)
            if (img.rect().contains(x, y) && parecido(img.pixel(x, y), c))
                ++n;
    return n;
}

// How many pixels of `zona` are dark (text).
int oscuros(const QImage& img, const QRect& zona)
{
    int n = 0;
    for (int y = zona.top(); y <= zona.bottom(); ++y)
        for (int x = zona.left(); x <= zona.right(); ++x)
            if (img.rect().contains(x, y) && qGray(img.pixel(x, y)) < 110)
                ++n;
    return n;
}

// The vertical centre of each line of text in `zona`, top to bottom.
QList<int> lineas(const QImage& img, const QRect& zona)
{
    QList<int> centros;
    int desde = -1;
    for (int y = zona.top(); y <= zona.bottom() + 1; ++y) {
        const bool texto = y <= zona.bottom() && oscuros(img, QRect(zona.left(), y, zona.width(), 1)) > 0;
        if (texto && desde < 0)
            desde = y;
        if (!texto && desde >= 0) {
            centros << (desde + y - 1) / 2;
            desde = -1;
        }
    }
    return centros;
}

bool esperar(const std::function<bool()>& hecho, int limiteMs)
{
    QElapsedTimer t;
    t.start();
    while (!hecho()) {
        if (t.elapsed() > limiteMs)
            return false;
        QThread::msleep(200);
    }
    return true;
}

// Processes whose command line mentions `texto` (a program left running by ours).
QStringList procesosCon(const QString& texto)
{
    QStringList r;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile f(QStringLiteral("/proc/") + pid + QStringLiteral("/cmdline"));
        if (!pid.front().isDigit() || !f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray linea = f.readAll().replace('\0', ' ');
        if (linea.contains(texto.toUtf8()))
            r << pid + QLatin1Char(' ') + QString::fromUtf8(linea);
    }
    return r;
}

QString sha256sum(const QString& ruta)
{
    const ResultadoProceso r = ejecutar(QStringLiteral("/usr/bin/sha256sum"), {ruta});
    return r.salida.section(QLatin1Char(' '), 0, 0);
}

class CamarasEnPantalla : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!puedeCrearEspacios())
            return;
        red = new EspacioRed(90);
        for (const QString& ip : {DAHUA, VSTARCAM, CAMARA})
            if (!red->listo() || !red->agregarDireccion(ip))
                return;
        OpcionesFTP f;
        f.usuario = USUARIO;
        f.clave = CLAVE;
        f.espacio = red->servidor;
        f.direccion = CAMARA;
        f.bytesPorSegundo = RITMO;
        ftp = new ServidorFTP(f);
        for (int i = 0; i < GRABACIONES.size(); ++i)
            ftp->poner(GRABACIONES[i], QByteArray(TAMANO, char('a' + i)));
        ftp->poner(QStringLiteral("2024-05-01/leeme.txt"), "no es un vídeo");
        OpcionesRTSP r;
        r.espacio = red->servidor;
        r.direccion = CAMARA;
        r.autenticacion = QStringLiteral("digest");
        r.usuario = USUARIO;
        r.clave = CLAVE;
        r.rutas = {{QStringLiteral("/Streaming/Channels/101"), QStringLiteral("video")}};
        rtsp = new ServidorRTSP(r);
        ponerGrabadores();
        pantalla = new PantallaVirtual;
    }

    // One recording on each recorder, made an hour ago; the VStarcam one raw, in the
    // camera's own container, to be converted on the way.
    static void ponerGrabadores()
    {
        const QDateTime hace = QDateTime::currentDateTime().addSecs(-3600);
        const auto grabador = [](const QString& ip, const QString& familia) {
            OpcionesGrabador o;
            o.direccion = ip;
            o.espacio = red->servidor;
            o.usuario = USUARIO;
            o.clave = CLAVE;
            o.familias = {familia};
            return new GrabadorFalso(o);
        };
        grabadores << grabador(HIKVISION, QStringLiteral("hikvision")) << grabador(DAHUA, QStringLiteral("dahua"))
                   << grabador(VSTARCAM, QStringLiteral("vstarcam"));
        const auto utc = [](const QDateTime& t) { return t.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ")); };
        grabadores[0]->grabacion(QStringLiteral("hik.mp4"), QByteArray(300000, 'h'));
        grabadores[0]->hikvision({{utc(hace), utc(hace.addSecs(300)), QStringLiteral("rtsp://x/tracks/101?starttime=1&amp;size=300000"),
                                   QStringLiteral("hik.mp4")}});
        grabadores[1]->grabacion(QStringLiteral("dahua.dav"), QByteArray(200000, 'd'));
        const QString local = hace.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        grabadores[1]->dahua({{local, local, QStringLiteral("/mnt/dvr/dav/14/14.07.09-14.12.00.dav"), std::nullopt,
                               QStringLiteral("dahua.dav")}});
        crudo = envolverHXVT(fotogramasDe(videoCrudo(50)));
        grabadores[2]->tarjeta(hace.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral("/record000/P")
                                   + hace.toString(QStringLiteral("yyMMdd_HHmmss_")) + hace.addSecs(60).toString(QStringLiteral("HHmmss"))
                                   + QStringLiteral(".264"),
                               crudo);
    }
    static void TearDownTestSuite()
    {
        delete pantalla;
        qDeleteAll(grabadores);
        grabadores.clear();
        delete rtsp;
        delete ftp;
        delete red;
        pantalla = nullptr;
        rtsp = nullptr;
        ftp = nullptr;
        red = nullptr;
    }
    void SetUp() override
    {
        if (!puedeCrearEspacios())
            GTEST_SKIP() << "hace falta ser root para crear espacios de red";
        ASSERT_TRUE(red->listo()) << red->error().toStdString();
        ASSERT_TRUE(ftp->listo()) << ftp->error().toStdString();
        ASSERT_TRUE(rtsp->listo()) << rtsp->error().toStdString();
        ASSERT_EQ(grabadores.size(), 3);
        for (const GrabadorFalso* g : grabadores)
            ASSERT_TRUE(g->listo()) << g->error().toStdString();
        ASSERT_FALSE(crudo.isEmpty()) << "ffmpeg made no video";
        if (!pantalla->lista())
            GTEST_SKIP() << "sin Xvfb";
        base = dir.path() + QStringLiteral("/casos");
        destino = base + QStringLiteral("/Robo 12/camaras");
    }

    // Starts the program inside the client namespace and waits for its window.
    void abrir()
    {
        ejecucion = std::make_unique<Ejecucion>(
            *pantalla, QStringList{QStringLiteral("camaras"), base, QStringLiteral("Robo 12"), QStringLiteral("/usr/bin/ffmpeg")},
            QString(), QProcessEnvironment(), red->cliente);
        ventana = pantalla->esperarVentana(QStringLiteral("Cámaras y dispositivos"));
        ASSERT_FALSE(ventana.isEmpty()) << ejecucion->terminar(100).errores.toStdString();
    }

    // The window as it is on screen now; with ZORV_CAPTURAS set, also kept there as
    // `nombre`.png, to be looked at.
    QImage ver(const QString& nombre = QString()) const
    {
        const QString ruta = dir.filePath(QStringLiteral("pantalla.png"));
        if (!pantalla->captura(ruta))
            return {};
        const QImage img = QImage(ruta).copy(pantalla->geometria(ventana));
        const QString carpeta = qEnvironmentVariable("ZORV_CAPTURAS");
        if (!nombre.isEmpty() && !carpeta.isEmpty())
            img.save(carpeta + QLatin1Char('/') + nombre + QStringLiteral(".png"));
        return img;
    }

    bool verHasta(const std::function<bool(const QImage&)>& cumple, int limiteMs)
    {
        return esperar([&] { return cumple(ver()); }, limiteMs);
    }

    void pulsar(const QPoint& p) const { pantalla->pulsarEn(ventana, p.x(), p.y()); }

    void escribirEn(const QPoint& campo, const QString& texto) const
    {
        pulsar(campo);
        pantalla->teclas({QStringLiteral("ctrl+a"), QStringLiteral("BackSpace")});
        pantalla->teclear(texto);
    }

    // Once the sweep has found the camera: open "Red local" and choose its last device
    // with the keyboard, as often as it takes for the sweep to end.
    void elegirCamara()
    {
        const bool elegida = verHasta(
            [&](const QImage& img) {
                if (oscuros(img, ROTULO_USUARIO) > 15)
                    return true;
                pulsar(ARBOL_VACIO);
                pantalla->teclas({QStringLiteral("End"), QStringLiteral("Right"), QStringLiteral("End")});
                return false;
            },
            60000);
        ASSERT_TRUE(elegida) << "the sweep never offered the camera";
    }

    // The device `antes` rows above the last one, with the keyboard.
    void elegirAnterior(int antes)
    {
        pulsar(ARBOL_VACIO);
        QStringList teclas{QStringLiteral("End")};
        for (int i = 0; i < antes; ++i)
            teclas << QStringLiteral("Up");
        pantalla->teclas(teclas);
    }

    // Credentials typed in the window, then "Listar"; waits for `n` rows.
    void listar(int n = 3)
    {
        escribirEn(USUARIO_CAMPO, USUARIO);
        escribirEn(CLAVE_CAMPO, CLAVE);
        pulsar(LISTAR);
        ASSERT_TRUE(verHasta([&](const QImage& img) { return (filas = lineas(img, NOMBRES)).size() == n; }, 60000))
            << "not " << n << " recordings but " << filas.size();
    }

    // Ticks the check box of a row of the list.
    void marcar(int fila) { pulsar(QPoint(CASILLAS_X, filas.value(fila))); }

    void descargar()
    {
        ASSERT_TRUE(verHasta([&](const QImage& img) { return pixeles(img, DESCARGAR, Color::turquesa) > 500; }, 10000))
            << "the download button never became pressable";
        pulsar(DESCARGAR.center());
    }

    static inline EspacioRed* red = nullptr;
    static inline ServidorFTP* ftp = nullptr;
    static inline ServidorRTSP* rtsp = nullptr;
    static inline PantallaVirtual* pantalla = nullptr;
    static inline QList<GrabadorFalso*> grabadores;
    static inline QByteArray crudo;  // the VStarcam recording
    QTemporaryDir dir;
    QString base, destino, ventana;
    QList<int> filas;  // centre of each row of the list
    std::unique_ptr<Ejecucion> ejecucion;
};

TEST_F(CamarasEnPantalla, BarrerListarDescargarGrabarYCerrar)
{
    ASSERT_NO_FATAL_FAILURE(abrir());
    ver(QStringLiteral("1-inicio"));
    ASSERT_NO_FATAL_FAILURE(elegirCamara());
    ASSERT_NO_FATAL_FAILURE(listar());
    ver(QStringLiteral("2-listado"));
    marcar(0);
    marcar(1);
    ASSERT_NO_FATAL_FAILURE(descargar());
    const QString sub = destino + QLatin1Char('/') + CAMARA;
    ASSERT_TRUE(esperar([&] { return !todo(sub).isEmpty(); }, 20000));
    ver(QStringLiteral("3-descargando"));
    const QStringList bajadas = {QStringLiteral("CH01-0800.mp4"), QStringLiteral("CH01-0800.mp4.txt"),
                                 QStringLiteral("CH01-0900.mp4"), QStringLiteral("CH01-0900.mp4.txt")};
    ASSERT_TRUE(esperar([&] { return todo(sub) == bajadas; }, 60000)) << todo(sub).join(' ').toStdString();
    QStringList llegadas = {sub + QStringLiteral("/CH01-0800.mp4"), sub + QStringLiteral("/CH01-0900.mp4")};

    // Five seconds of the live stream, to the end.
    escribirEn(SEGUNDOS, QStringLiteral("5"));
    pulsar(GRABAR);
    const auto directos = [&] { return QDir(destino).entryList({QStringLiteral("directo-*.mp4")}, QDir::Files); };
    QStringList vistos;  // what every user of the machine can read of the programs recording it
    ASSERT_TRUE(esperar([&] { vistos << procesosCon(QStringLiteral("/usr/bin/ff")); return directos().size() == 1; }, 120000));
    EXPECT_EQ(vistos.filter(CLAVE), QStringList());
    EXPECT_FALSE(vistos.filter(QStringLiteral("/usr/bin/ffmpeg")).isEmpty());
    llegadas << destino + QLatin1Char('/') + directos()[0];
    ASSERT_TRUE(esperar([&] { return QFile::exists(llegadas.last() + QStringLiteral(".txt")); }, 20000));

    // Each recorder above the camera in the tree, listed with the same credentials, its one
    // recording downloaded.
    const QString recorders[] = {VSTARCAM, DAHUA, HIKVISION};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(recorders[i].toStdString());
        elegirAnterior(i + 1);
        ASSERT_NO_FATAL_FAILURE(listar(1));
        ver(QStringLiteral("4-grabador-") + QString::number(i));
        marcar(0);
        ASSERT_NO_FATAL_FAILURE(descargar());
        const QString suya = destino + QLatin1Char('/') + recorders[i];
        const auto llegada = [&] {
            const QStringList f = todo(suya);
            return f.size() == 2 && f[1] == f[0] + QStringLiteral(".txt") ? f[0] : QString();
        };
        ASSERT_TRUE(esperar([&] { return !llegada().isEmpty(); }, 60000)) << todo(suya).join(' ').toStdString();
        llegadas << suya + QLatin1Char('/') + llegada();
    }

    // A long one, stopped by closing the window with the keyboard.
    elegirAnterior(0);
    escribirEn(SEGUNDOS, QStringLiteral("600"));
    pulsar(GRABAR);
    const auto parcial = [&] {
        const QStringList f = QDir(destino).entryList({QStringLiteral(".directo-*")}, QDir::Files | QDir::Hidden);
        return f.isEmpty() ? 0 : QFileInfo(destino + QLatin1Char('/') + f[0]).size();
    };
    ASSERT_TRUE(esperar([&] { return parcial() > 20000; }, 120000));
    pantalla->teclas({QStringLiteral("ctrl+w")});
    const Corrida c = ejecucion->terminar(60000);
    EXPECT_EQ(c.estado, 0) << c.errores.toStdString();

    // Exactly the new files, in the order they arrived, one per line.
    const QStringList dichas = QString::fromUtf8(c.salida).split(QLatin1Char('\n'));
    ASSERT_EQ(dichas.size(), 7) << c.salida.toStdString();
    EXPECT_EQ(dichas.mid(0, 6), llegadas);
    QStringList conRegistros{QStringLiteral("Robo 12/registro-de-custodia.html"), QStringLiteral("Robo 12/registro-de-custodia.jsonl")};
    for (const QString& d : dichas)
        conRegistros << QDir(base).relativeFilePath(d) << QDir(base).relativeFilePath(d) + QStringLiteral(".txt");
    conRegistros.sort();
    EXPECT_EQ(todo(base), conRegistros) << "nothing else, no temporary file left";
    const QStringList direcciones = {CAMARA, CAMARA, CAMARA, VSTARCAM, DAHUA, HIKVISION, CAMARA};
    for (int i = 0; i < dichas.size(); ++i) {
        SCOPED_TRACE(dichas[i].toStdString());
        const QString registro = QString::fromUtf8(leerArchivo(dichas[i] + QStringLiteral(".txt")));
        EXPECT_TRUE(registro.contains(QStringLiteral("SHA-256: ") + sha256sum(dichas[i]) + QLatin1Char('\n')))
            << registro.toStdString();
        EXPECT_TRUE(registro.contains(QStringLiteral("Dirección: ") + direcciones[i] + QLatin1Char('\n')));
    }
    EXPECT_EQ(leerArchivo(dichas[0]), QByteArray(TAMANO, 'a'));
    EXPECT_EQ(leerArchivo(dichas[1]), QByteArray(TAMANO, 'b'));
    EXPECT_EQ(leerArchivo(dichas[4]), QByteArray(200000, 'd'));
    EXPECT_EQ(leerArchivo(dichas[5]), QByteArray(300000, 'h'));
    EXPECT_TRUE(dichas[3].endsWith(QLatin1String(".mp4")));
    EXPECT_EQ(fotogramasEn(dichas[3]), 50) << "the raw recording, converted whole";
    for (int i : {2, 6}) {
        const ResultadoProceso r = ejecutar(QStringLiteral("/usr/bin/ffprobe"),
                                            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                             QStringLiteral("format=duration"), QStringLiteral("-of"), QStringLiteral("csv=p=0"), dichas[i]});
        EXPECT_EQ(r.estado, 0) << dichas[i].toStdString();
        const double segundos = r.salida.trimmed().toDouble();
        EXPECT_GT(segundos, i == 2 ? 4.0 : 0.5) << "playable: " << dichas[i].toStdString();
        EXPECT_LT(segundos, i == 2 ? 7.0 : 600.0);
    }
    EXPECT_TRUE(QString::fromUtf8(leerArchivo(dichas[6] + QStringLiteral(".txt")))
                    .contains(QStringLiteral("Nota: grabación detenida al cerrar la ventana")));
    EXPECT_EQ(procesosCon(destino), QStringList()) << "ffmpeg left running";

    // The case's register vouches for all seven, until something is touched.
    const QString caso = base + QStringLiteral("/Robo 12");
    const auto verificar = [&] { return correr({QStringLiteral("verificar"), caso}); };
    Corrida v = verificar();
    EXPECT_EQ(v.estado, 0) << v.salida.toStdString();
    EXPECT_TRUE(v.salida.startsWith("todo coincide: 7 entradas, 7 ficheros comprobados")) << v.salida.toStdString();
    const auto relativa = [&](int i) { return QDir(caso).relativeFilePath(dichas[i]).toUtf8(); };
    QByteArray uno = leerArchivo(dichas[0]);
    uno[1000] = 'Z';
    ASSERT_TRUE(escribirArchivo(dichas[0], uno));
    ASSERT_TRUE(QFile::resize(dichas[1], 1000));
    ASSERT_TRUE(QFile::remove(dichas[4]));
    QList<QByteArray> lineas = leerArchivo(caso + QStringLiteral("/registro-de-custodia.jsonl")).split('\n');
    lineas[2].replace("\"tamano\":", "\"tamano\":1");
    lineas.last() = "{\"formato\":1,\"fiche";
    ASSERT_TRUE(escribirArchivo(caso + QStringLiteral("/registro-de-custodia.jsonl"), lineas.join('\n')));
    v = verificar();
    EXPECT_EQ(v.estado, 1);
    for (const QByteArray& linea : QList<QByteArray>{"entrada 8 incompleta", "registro alterado en la entrada 3:", "modificado: " + relativa(0) + "\n",
                                    "modificado: " + relativa(1) + " (1000 bytes; el registro dice 614400)", "falta: " + relativa(4) + "\n",
                                    "modificado: " + relativa(2) + " ("})
        EXPECT_TRUE(v.salida.contains(linea)) << linea.toStdString() << "\n" << v.salida.toStdString();
    EXPECT_EQ(v.salida.count('\n'), 7) << "six problems and the summary: " << v.salida.toStdString();
}

TEST_F(CamarasEnPantalla, MatarloAMitadDeUnaDescargaNoDejaNadaConNombreFinal)
{
    ASSERT_NO_FATAL_FAILURE(abrir());
    ASSERT_NO_FATAL_FAILURE(elegirCamara());
    ASSERT_NO_FATAL_FAILURE(listar());
    marcar(0);
    ASSERT_NO_FATAL_FAILURE(descargar());
    const QString sub = destino + QLatin1Char('/') + CAMARA;
    const QString temporal = sub + QStringLiteral("/.CH01-0800.parcial.mp4");
    ASSERT_TRUE(esperar([&] { return QFileInfo(temporal).size() > 0; }, 30000)) << todo(base).join(' ').toStdString();
    ejecucion->matar();
    for (const QString& f : todo(base))
        EXPECT_TRUE(QFileInfo(f).fileName().startsWith(QLatin1Char('.'))) << "under a final name: " << f.toStdString();
    // curl went with the program: the partial file stops growing.
    EXPECT_TRUE(esperar([&] { return procesosCon(temporal).isEmpty(); }, 10000)) << procesosCon(temporal).join('\n').toStdString();
    const qint64 antes = QFileInfo(temporal).size();
    QThread::msleep(1500);
    EXPECT_EQ(QFileInfo(temporal).size(), antes);
    EXPECT_LT(antes, TAMANO);
}

// A 4-channel NVR: every channel listed, every recording downloaded, each channel's into
// its own folder (two start in the same second), each record naming its channel.
TEST_F(CamarasEnPantalla, GrabadorDeCuatroCanales)
{
    const QList<Canal> canales = {{1, "Puerta"}, {2, "Caja <b>&</b>"}, {3, ""}, {4, "Patio"}};
    QList<ItemHikvision> items;
    for (const auto& [c, nombre] : canales) {
        const QString t = QDateTime::currentDateTimeUtc().addSecs(c > 2 ? 60 * c - 3600 : -3600).toString(Qt::ISODate);
        grabadores[0]->grabacion(QStringLiteral("c%1.mp4").arg(c), QByteArray(100000 + c, char('0' + c)));
        items << ItemHikvision{t, t, QStringLiteral("rtsp://x/%1?size=%2").arg(c).arg(100000 + c), QStringLiteral("c%1.mp4").arg(c), c};
    }
    grabadores[0]->hikvision(items, canales);
    ASSERT_NO_FATAL_FAILURE(abrir());
    ASSERT_NO_FATAL_FAILURE(elegirCamara());
    elegirAnterior(3);
    ASSERT_NO_FATAL_FAILURE(listar(4));
    pulsar(QPoint(994, 598));  // "Marcar todos"
    ASSERT_NO_FATAL_FAILURE(descargar());
    const QString nvr = destino + QLatin1Char('/') + HIKVISION;
    ASSERT_TRUE(esperar([&] { return todo(nvr).size() == 8; }, 60000)) << todo(nvr).join(' ').toStdString();
    pantalla->teclas({QStringLiteral("ctrl+w")});
    QStringList dichas = QString::fromUtf8(ejecucion->terminar(30000).salida).split(QLatin1Char('\n'));
    dichas.sort();
    ASSERT_EQ(dichas.size(), 4) << dichas.join(' ').toStdString();
    for (const auto& [k, nombre] : canales) {
        const QString& f = dichas[k - 1];
        EXPECT_EQ(f, nvr + QStringLiteral("/canal-0%1/").arg(k) + QFileInfo(dichas[k > 2 ? k - 1 : 0]).fileName());
        EXPECT_EQ(leerArchivo(f), QByteArray(100000 + k, char('0' + k)));
        const QString registro = QString::fromUtf8(leerArchivo(f + QStringLiteral(".txt")));
        EXPECT_TRUE(registro.contains(QStringLiteral("SHA-256: ") + sha256sum(f) + '\n')) << registro.toStdString();
        EXPECT_TRUE(registro.contains(QStringLiteral("Canal: %1\n").arg(k) + (nombre.isEmpty() ? "" : "Nombre del canal: " + nombre + '\n')));
    }
    EXPECT_EQ(leerArchivo(base + QStringLiteral("/Robo 12/registro-de-custodia.html")).count("<h2>"), 4) << "a table a channel";
}

} // namespace

// At the window's smallest size, with the keyboard: the password typed where it shows,
// Return lists, Space marks the first recording, Return downloads it. Then the display
// goes away in the middle of the download.
TEST_F(CamarasEnPantalla, EstrechaConTecladoHastaPerderLaPantalla)
{
    ASSERT_NO_FATAL_FAILURE(abrir());
    ASSERT_NO_FATAL_FAILURE(elegirCamara());
    pantalla->xdotool({QStringLiteral("windowsize"), ventana, QStringLiteral("900"), QStringLiteral("560")});
    escribirEn(USUARIO_CAMPO, USUARIO);
    escribirEn(CLAVE_CAMPO, CLAVE);
    pantalla->teclas({QStringLiteral("Return")});
    // The credentials row took a second line: the list starts lower.
    const QRect nombres(NOMBRES.x(), 252, NOMBRES.width(), 200);
    ASSERT_TRUE(verHasta([&](const QImage& img) { return lineas(img, nombres).size() == 3; }, 60000))
        << "Return did not list with the typed password";
    pantalla->teclas({QStringLiteral("space"), QStringLiteral("Return")});
    const QString temporal = destino + QLatin1Char('/') + CAMARA + QStringLiteral("/.CH01-0800.parcial.mp4");
    ASSERT_TRUE(esperar([&] { return QFileInfo(temporal).size() > 0; }, 30000)) << todo(base).join(' ').toStdString();
    ASSERT_TRUE(pantalla->cortarConexion(ventana));
    const Corrida c = ejecucion->terminar(30000);
    EXPECT_EQ(c.estado, 1) << c.errores.toStdString();
    EXPECT_TRUE(c.salida.isEmpty());
    EXPECT_EQ(todo(base), QStringList()) << "the file being downloaded is removed";
}

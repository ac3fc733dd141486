// Discovery, identification and the sweep, run inside network namespaces made by the
// tests: the client side in one, the devices in the other, joined by a veth pair.
#include "apoyo/espacio_red.h"
#include "apoyo/programa.h"
#include "apoyo/servidor_web.h"
#include "grabadores/descubrir.h"
#include "grabadores/ayudas.h"
#include "grabadores/http.h"
#include "grabadores/identificar.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include "apoyo/impresion.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

#define NECESITA_ROOT()                                                                     \
    if (!puedeCrearEspacios()) GTEST_SKIP() << "hace falta ser root para crear espacios de red"

// A listening socket made inside the namespace; the kernel completes handshakes for it.
class Escuchas {
public:
    ~Escuchas() {
        for (int fd : fds) close(fd);
    }
    bool abrir(const QString& espacio, const QString& ip, int puerto) {
        const int fd = escucharEn(espacio, ip, puerto);
        if (fd >= 0) fds << fd;
        return fd >= 0;
    }

private:
    QList<int> fds;
};

// An ONVIF device answering from the server namespace with the given replies.
class OnvifFalso {
public:
    OnvifFalso(const QString& espacio, const QList<std::pair<QString, QString>>& respuestas) {
        QStringList args{"python3", raizFuentes() + "/tests/grabadores/onvif_falso.py"};
        int n = 0;
        for (const auto& [ip, texto] : respuestas) {
            const QString f = dir.filePath(QString::number(n++));
            QFile q(f);
            q.open(QIODevice::WriteOnly);
            q.write(texto.toUtf8());
            args << ip << f;
        }
        registro = dir.filePath("0.sondas");
        p.start("ip", EspacioRed::dentro(espacio, args));
        listo = p.waitForStarted(5000) && p.waitForReadyRead(10000) &&
                p.readLine().trimmed() == "listo";
    }
    ~OnvifFalso() {
        p.kill();
        p.waitForFinished(3000);
    }
    QByteArray sondas() const {
        return leerArchivo(registro);
    }
    QTemporaryDir dir;
    QProcess p;
    QString registro;
    bool listo = false;
};

QString respuestaONVIF(const QString& ambitos) {
    return QStringLiteral("<?xml version=\"1.0\"?><e:Envelope><e:Body><d:ProbeMatches><d:ProbeMatch>"
                          "<d:Scopes>") +
           ambitos + QStringLiteral("</d:Scopes></d:ProbeMatch></d:ProbeMatches></e:Body></e:Envelope>");
}

// Whether anyone has connected to a listening socket (the kernel holds it, unaccepted).
bool conexionPendiente(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) > 0;
}

// Open files limit lowered for one test and put back after (the test runs as root, which
// may raise the hard limit again).
class LimiteFicheros {
public:
    explicit LimiteFicheros(rlim_t n) {
        getrlimit(RLIMIT_NOFILE, &antes);
        rlimit bajo{n, n};
        bien = setrlimit(RLIMIT_NOFILE, &bajo) == 0;
    }
    ~LimiteFicheros() { setrlimit(RLIMIT_NOFILE, &antes); }
    bool bien = false;

private:
    rlimit antes{};
};

// A lighttpd playing one kind of recorder at `ip` port 80 in the server namespace.
std::unique_ptr<ServidorWeb> camara(const EspacioRed& e, const QString& ip, const QString& escenario,
                                    const QString& etiqueta = {}, bool conClave = false) {
    OpcionesWeb o;
    o.espacio = e.servidor;
    o.direccion = ip;
    o.etiqueta = etiqueta;
    o.extra = QStringLiteral("setenv.add-environment = (\"ESCENARIO\" => \"%1\")\n"
                             "url.rewrite-once = (\"^/.*$\" => \"/camara.cgi\")\n")
                  .arg(escenario);
    if (conClave)
        o.extra += QStringLiteral(
            "auth.backend = \"htdigest\"\n"
            "auth.backend.htdigest.userfile = \"%CARPETA%/usuarios\"\n"
            "auth.require = (\"\" => (\"method\" => \"digest\", \"realm\" => \"zorv\", "
            "\"require\" => \"valid-user\"))\n");
    auto w = std::make_unique<ServidorWeb>(o);
    QFile::copy(raizFuentes() + "/tests/grabadores/camara_falsa.cgi", w->raiz() + "/camara.cgi");
    QFile u(w->carpeta() + "/usuarios");
    u.open(QIODevice::WriteOnly);
    u.write(ServidorWeb::lineaDigest("admin", "zorv", "buena").toUtf8() + "\n");
    return w;
}

TEST(Red, SondeoDistingueAbiertosRechazadosYMudos) {
    NECESITA_ROOT();
    EspacioRed e(10, 29);
    ASSERT_TRUE(e.listo()) << e.error().toStdString();
    ASSERT_TRUE(e.agregarDireccion("10.77.10.3"));
    Escuchas l;
    ASSERT_TRUE(l.abrir(e.servidor, "10.77.10.2", 8000));
    ASSERT_TRUE(l.abrir(e.servidor, "10.77.10.2", 80));
    ASSERT_TRUE(l.abrir(e.servidor, "10.77.10.3", 554));

    QList<RedLocal> redes;
    QMap<QString, QList<int>> abiertos;
    QList<int> avances;
    qint64 ms = 0;
    ASSERT_TRUE(enEspacio(e.cliente, [&] {
        redes = redesLocales();
        QElapsedTimer t;
        t.start();
        abiertos = sondearPuertos(hostsDe(RedLocal(0x0A4D0A01, 29)), [&](int p) { avances << p; });
        ms = t.elapsed();
    }));
    // lo is left out; only the veth end counts.
    EXPECT_EQ(redes, QList<RedLocal>{RedLocal(0x0A4D0A01, 29)});
    // Ports are listed in probe order; refused ports (the rest of .2) and silent hosts
    // (.4 to .6, nobody there) are absent.
    QMap<QString, QList<int>> esperado;
    esperado["10.77.10.2"] = {80, 8000};
    esperado["10.77.10.3"] = {554};
    EXPECT_EQ(abiertos, esperado);
    EXPECT_EQ(avances, QList<int>{100});
    EXPECT_GE(ms, 400);   // the silent hosts run out the window
    EXPECT_LT(ms, 1500);  // one window, not one per port
}

TEST(Red, SondaONVIF) {
    NECESITA_ROOT();
    EspacioRed e(11, 29);
    ASSERT_TRUE(e.listo()) << e.error().toStdString();
    ASSERT_TRUE(e.agregarDireccion("10.77.11.3"));
    OnvifFalso onvif(e.servidor,
                     {{"10.77.11.2", respuestaONVIF("onvif://www.onvif.org/name/Primera")},
                      {"10.77.11.3", respuestaONVIF("onvif://www.onvif.org/hardware/HW9")},
                      {"10.77.11.2", respuestaONVIF("onvif://www.onvif.org/name/IPC%20Front "
                                                    "onvif://www.onvif.org/hardware/DS-2CD")}});
    ASSERT_TRUE(onvif.listo);
    QMap<QString, std::pair<QString, QString>> vistos;
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(enEspacio(e.cliente, [&] { vistos = descubrirONVIF(); }));
    EXPECT_GE(t.elapsed(), 2400);
    EXPECT_LT(t.elapsed(), 3500);
    QMap<QString, std::pair<QString, QString>> esperado;
    esperado["10.77.11.2"] = {"IPC Front", "DS-2CD"};  // the later reply wins
    esperado["10.77.11.3"] = {"", "HW9"};              // no name scope: empty name
    EXPECT_EQ(vistos, esperado);
    // Two identical datagrams, exactly the probe with a fresh lower-case UUID.
    const QList<QByteArray> sondas = onvif.sondas().split('\n');
    ASSERT_GE(sondas.size(), 2);
    EXPECT_EQ(sondas[0], sondas[1]);
    const QString s = QString::fromUtf8(sondas[0]);
    const auto uuid = uno(s, "uuid:([0-9a-f-]{36})</w:MessageID>");
    ASSERT_TRUE(uuid.has_value()) << s.toStdString();
    EXPECT_EQ(s, sondaONVIF(*uuid));
}

TEST(Red, BarridoCompleto) {
    NECESITA_ROOT();
    EspacioRed e(12, 28);
    ASSERT_TRUE(e.listo()) << e.error().toStdString();
    for (int h : {3, 4, 5, 6, 7, 9, 10, 11})
        ASSERT_TRUE(e.agregarDireccion(QStringLiteral("10.77.12.%1").arg(h)));
    const auto hik = camara(e, "10.77.12.2", "hikvision", "App-webs/");
    const auto dahua = camara(e, "10.77.12.3", "reto-dahua", "Webs");
    const auto otra = camara(e, "10.77.12.4", "reto-otro", "Router");
    const auto retoHik = camara(e, "10.77.12.7", "reto-hik", "Hik");
    for (const auto* w : {hik.get(), dahua.get(), otra.get(), retoHik.get()})
        ASSERT_TRUE(w->listo()) << w->error().toStdString();
    Escuchas l;
    ASSERT_TRUE(l.abrir(e.servidor, "10.77.12.5", 554));
    ASSERT_TRUE(l.abrir(e.servidor, "10.77.12.6", 34567));
    ASSERT_TRUE(l.abrir(e.servidor, "10.77.12.9", 21));
    ASSERT_TRUE(l.abrir(e.servidor, "10.77.12.10", 21));
    OnvifFalso onvif(e.servidor,
                     {{"10.77.12.2", respuestaONVIF("onvif://www.onvif.org/name/Frente "
                                                    "onvif://www.onvif.org/hardware/DS-2CD")},
                      {"10.77.12.11", respuestaONVIF("onvif://www.onvif.org/name/Solo%20Uno")}});
    ASSERT_TRUE(onvif.listo);

    QList<OrigenPtr> lista;
    QList<int> avances;
    ASSERT_TRUE(enEspacio(e.cliente, [&] { lista = buscarRed([&](int p) { avances << p; }); }));
    QStringList vistos;
    for (const auto& o : lista) {
        EXPECT_EQ(o->tipo, "red");
        EXPECT_EQ(o->nombre, o->ip);
        EXPECT_EQ(o->ruta, o->ip);
        vistos << o->ip + " | " + o->familia + " | " + o->detalle + (o->onvif ? " | onvif" : "");
    }
    EXPECT_EQ(vistos, (QStringList{
                          "10.77.12.2 | hikvision | hikvision · Frente DS-2CD · puertos 80 | onvif",
                          "10.77.12.3 | dahua | dahua · Webs · puertos 80",
                          "10.77.12.4 | cámara | cámara · Router · puertos 80",
                          "10.77.12.5 | rtsp | rtsp · puertos 554",
                          "10.77.12.6 | xiongmai | xiongmai · puertos 34567",
                          "10.77.12.7 | hikvision | hikvision · Hik · puertos 80",
                          "10.77.12.9 | ftp | ftp · puertos 21",
                          "10.77.12.10 | ftp | ftp · puertos 21",
                          "10.77.12.11 | onvif | ONVIF · Solo Uno | onvif",
                      }));
    ASSERT_FALSE(avances.isEmpty());
    EXPECT_EQ(avances.last(), 100);
    ASSERT_EQ(lista.size(), 9);
    EXPECT_TRUE(lista.last()->puertos.isEmpty());
}

TEST(Red, IdentificacionConCredenciales) {
    NECESITA_ROOT();
    EspacioRed e(13, 28);
    ASSERT_TRUE(e.listo()) << e.error().toStdString();
    for (int h : {3, 4, 5}) ASSERT_TRUE(e.agregarDireccion(QStringLiteral("10.77.13.%1").arg(h)));
    const auto hik = camara(e, "10.77.13.2", "hikvision", {}, true);
    const auto dahua = camara(e, "10.77.13.3", "dahua", {}, true);
    const auto vstar = camara(e, "10.77.13.4", "vstarcam");
    const auto sd = camara(e, "10.77.13.5", "sd");
    for (const auto* w : {hik.get(), dahua.get(), vstar.get(), sd.get()})
        ASSERT_TRUE(w->listo()) << w->error().toStdString();

    auto detectar = [&](const QString& ip, const QString& clave, QList<int> puertos) {
        Origen o("red", ip, ip, {});
        o.ip = ip;
        o.clave = clave;
        o.puertos = puertos;
        std::pair<QString, QString> r;
        EXPECT_TRUE(enEspacio(e.cliente, [&] { r = detectarFamilia(o); }));
        return r.first + "|" + r.second;
    };
    EXPECT_EQ(detectar("10.77.13.2", "buena", {80}), "hikvision|DS-7608NI-K2");
    EXPECT_EQ(detectar("10.77.13.3", "buena", {80, 554}), "dahua|DH-XVR5108HS");
    EXPECT_EQ(detectar("10.77.13.4", "", {80}), "vstarcam|C24S");
    EXPECT_EQ(detectar("10.77.13.5", "", {80}), "vstarcam|SD web");
    // Wrong credentials turn every step into a failed request: only the ports remain, and
    // here an FTP port wins over RTSP.
    EXPECT_EQ(detectar("10.77.13.2", "mala", {80, 21, 554}), "ftp|");
    // Nothing listens on 8080: refused at once, falls back to the ports.
    EXPECT_EQ(detectar("10.77.13.2", "buena", {8080, 554}), "rtsp|");
    EXPECT_EQ(detectar("10.77.13.2", "buena", {8080}), "desconocida|");
}

TEST(Red, RedireccionAOtroHostSinCredenciales) {
    NECESITA_ROOT();
    EspacioRed e(14, 29);
    ASSERT_TRUE(e.listo()) << e.error().toStdString();
    ASSERT_TRUE(e.agregarDireccion("10.77.14.3"));
    OpcionesWeb o;
    o.espacio = e.servidor;
    o.direccion = "10.77.14.2";
    o.extra = "auth.backend = \"htdigest\"\n"
              "auth.backend.htdigest.userfile = \"%CARPETA%/usuarios\"\n"
              "auth.require = (\"\" => (\"method\" => \"digest\", \"realm\" => \"zorv\", "
              "\"require\" => \"valid-user\"))\n"
              "url.redirect = (\"^/(.*)$\" => \"http://10.77.14.3/credenciales\")\n";
    ServidorWeb origen(o);
    QFile u(origen.carpeta() + "/usuarios");
    ASSERT_TRUE(u.open(QIODevice::WriteOnly));
    u.write(ServidorWeb::lineaDigest("admin", "zorv", "buena").toUtf8() + "\n");
    u.close();
    const auto destino = camara(e, "10.77.14.3", "eco");
    ASSERT_TRUE(origen.listo() && destino->listo()) << origen.error().toStdString();
    QString texto;
    ASSERT_TRUE(enEspacio(e.cliente, [&] {
        try {
            texto = Http::peticion("http://10.77.14.2/x", "admin", "buena").texto();
        } catch (const ErrorCamara& err) {
            texto = err.description;
        }
    }));
    // The password's digest reached the device that asked for it, never the other host.
    EXPECT_EQ(texto, "[]");
}

// Only answers to the probe, from the networks being swept, are devices; what they call
// themselves is cut to one short line.
TEST(Red, SondaONVIFSoloDispositivosDeLaRed) {
    NECESITA_ROOT();
    EspacioRed e(15, 29);
    ASSERT_TRUE(e.listo()) << e.error().toStdString();
    for (const char* ip : {"10.77.15.3", "10.77.15.4", "10.77.15.5", "10.77.15.9"})
        ASSERT_TRUE(e.agregarDireccion(ip));
    const QString largo(64000, u'N');
    OnvifFalso onvif(
        e.servidor,
        {{"10.77.15.2", respuestaONVIF("onvif://www.onvif.org/name/Uno%0ADos%00Tres%E2%80%A8")},
         {"10.77.15.3", "hola onvif://www.onvif.org/name/NoEsRespuesta"},
         {"10.77.15.4", respuestaONVIF("onvif://www.onvif.org/name/" + largo)},
         {"10.77.15.5", "<e:Envelope><e:Body><d:Hello><d:Scopes>onvif://www.onvif.org/name/Hola"
                        "</d:Scopes></d:Hello></e:Body></e:Envelope>"},
         {"10.77.15.9", respuestaONVIF("onvif://www.onvif.org/name/DeOtraRed")}});
    ASSERT_TRUE(onvif.listo);
    QMap<QString, std::pair<QString, QString>> vistos, ancha;
    ASSERT_TRUE(enEspacio(e.cliente, [&] {
        vistos = descubrirONVIF();
        // The same replies, taking the client's network as a /24: .9 is then on it.
        ancha = descubrirONVIF({RedLocal(0x0A4D0F01, 24)});
    }));
    QMap<QString, std::pair<QString, QString>> esperado;
    esperado["10.77.15.2"] = {"UnoDosTres", ""};
    esperado["10.77.15.4"] = {QString(64, u'N'), ""};
    EXPECT_EQ(vistos, esperado);
    esperado["10.77.15.9"] = {"DeOtraRed", ""};
    EXPECT_EQ(ancha, esperado);
}

// Identification never follows a device's redirection to another machine, but does
// follow one to another port of the same device.
TEST(Red, IdentificacionNoSaleDelDispositivo) {
    NECESITA_ROOT();
    EspacioRed e(16, 29);
    ASSERT_TRUE(e.listo()) << e.error().toStdString();
    for (const char* ip : {"10.77.16.3", "10.77.16.4"}) ASSERT_TRUE(e.agregarDireccion(ip));
    const int otro = escucharEn(e.servidor, "10.77.16.3", 8000);
    ASSERT_GE(otro, 0);
    OpcionesWeb o;
    o.espacio = e.servidor;
    o.direccion = "10.77.16.2";
    o.extra = "url.redirect = (\"^/(.*)$\" => \"http://10.77.16.3:8000/$1\")\n";
    ServidorWeb fuera(o);
    o.direccion = "10.77.16.4";
    o.extra = "url.redirect = (\"^/(.*)$\" => \"http://10.77.16.4:8080/$1\")\n";
    ServidorWeb dentro(o);
    o.puerto = 8080;
    o.extra = "setenv.add-environment = (\"ESCENARIO\" => \"hikvision\")\n"
              "url.rewrite-once = (\"^/.*$\" => \"/camara.cgi\")\n";
    ServidorWeb hik(o);
    QFile::copy(raizFuentes() + "/tests/grabadores/camara_falsa.cgi", hik.raiz() + "/camara.cgi");
    for (const ServidorWeb* w : {&fuera, &dentro, &hik}) ASSERT_TRUE(w->listo()) << w->error().toStdString();

    std::pair<QString, QString> barrido, conClave, propia;
    ASSERT_TRUE(enEspacio(e.cliente, [&] {
        barrido = familia("10.77.16.2", {80});
        Origen d("red", "10.77.16.2", "10.77.16.2", {});
        d.ip = "10.77.16.2";
        d.puertos = {80};
        conClave = detectarFamilia(d);
        propia = familia("10.77.16.4", {80});
    }));
    EXPECT_FALSE(conexionPendiente(otro)) << "la identificación llegó a otra máquina";
    EXPECT_EQ(barrido.first, "desconocida");
    EXPECT_EQ(conClave.first, "desconocida");
    EXPECT_EQ(propia.first, "hikvision");
    close(otro);
}

// A device that accepts connections and never answers costs the sweep 2.5 + 2.5 + 2
// seconds, not a second more per request.
TEST(Red, FamiliaDeUnDispositivoMudo) {
    NECESITA_ROOT();
    EspacioRed e(17, 29);
    ASSERT_TRUE(e.listo()) << e.error().toStdString();
    const int mudo = escucharEn(e.servidor, "10.77.17.2", 80);
    ASSERT_GE(mudo, 0);
    std::pair<QString, QString> r;
    qint64 ms = 0;
    ASSERT_TRUE(enEspacio(e.cliente, [&] {
        QElapsedTimer t;
        t.start();
        r = familia("10.77.17.2", {80, 554});
        ms = t.elapsed();
    }));
    close(mudo);
    EXPECT_EQ(r.first, "rtsp");
    EXPECT_GE(ms, 6900);
    EXPECT_LT(ms, 8000);
}

// With few open files allowed, the probe makes smaller batches instead of missing hosts.
TEST(Red, SondeoConPocosFicheros) {
    NECESITA_ROOT();
    EspacioRed e(18, 27);
    ASSERT_TRUE(e.listo()) << e.error().toStdString();
    QMap<QString, QList<int>> esperado;
    Escuchas l;
    for (int h : {20, 25, 30}) {
        const QString ip = QStringLiteral("10.77.18.%1").arg(h);
        ASSERT_TRUE(e.agregarDireccion(ip));
        ASSERT_TRUE(l.abrir(e.servidor, ip, 554));
        esperado[ip] = {554};
    }
    QMap<QString, QList<int>> abiertos;
    QList<int> avances;
    {
        LimiteFicheros limite(64);
        ASSERT_TRUE(limite.bien);
        ASSERT_TRUE(enEspacio(e.cliente, [&] {
            abiertos = sondearPuertos(hostsDe(RedLocal(0x0A4D1201, 27)), [&](int p) { avances << p; });
        }));
    }
    EXPECT_EQ(abiertos, esperado);
    ASSERT_GT(avances.size(), 1);  // several smaller batches
    EXPECT_EQ(avances.last(), 100);
    EXPECT_TRUE(std::is_sorted(avances.begin(), avances.end()));
}

}  // namespace

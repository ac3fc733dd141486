// The HTTP client against a real lighttpd on loopback, and against a few Python peers
// for the misbehaviour no real server shows on purpose.
#include "apoyo/programa.h"
#include "apoyo/servidor_web.h"
#include "grabadores/http.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include "apoyo/impresion.h"

#include <gtest/gtest.h>

namespace {

const char* CONFIG_AUTH = R"(
auth.backend = "htdigest"
auth.backend.htdigest.userfile = "%CARPETA%/usuarios"
auth.require = ( "/privado/" => ("method" => "digest", "realm" => "zorv", "require" => "valid-user"),
                 "/basica/" => ("method" => "basic", "realm" => "zorv", "require" => "valid-user"),
                 "/sha/" => ("method" => "digest", "realm" => "zorv256", "algorithm" => "SHA-256",
                             "require" => "valid-user") )
setenv.add-environment = ("ESCENARIO" => "estado")
server.stream-response-body = 2
url.rewrite-once = ( "^/estado(\?.*)?$" => "/camara.cgi$1", "^/agente$" => "/camara.cgi" )
url.redirect = ( "^/mover$" => "/privado/dato.txt" )
)";

// One lighttpd for the whole suite: starting it per test would only cost time.
class HttpReal : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        OpcionesWeb o;
        o.extra = QString::fromLatin1(CONFIG_AUTH);
        web = new ServidorWeb(o);
        const QString r = web->raiz();
        const QByteArray sha = QCryptographicHash::hash("admin:zorv256:secreta",
                                                        QCryptographicHash::Sha256).toHex();
        ASSERT_TRUE(escribirArchivo(web->carpeta() + "/usuarios",
                                    ServidorWeb::lineaDigest("admin", "zorv", "secreta").toUtf8() +
                                        "\nadmin:zorv256:" + sha + "\n"));
        ASSERT_TRUE(escribirArchivo(r + "/sha/dato.txt", "contenido sha"));
        ASSERT_TRUE(escribirArchivo(r + "/privado/dato.txt", "contenido privado"));
        ASSERT_TRUE(escribirArchivo(r + "/basica/dato.txt", "contenido basico"));
        ASSERT_TRUE(escribirArchivo(r + "/mal.txt", QByteArray("a\xff" "b")));
        ASSERT_TRUE(escribirArchivo(r + "/grande.bin", QByteArray(3 * 1024 * 1024 + 17, 'g')));
        QFile::copy(raizFuentes() + "/tests/grabadores/camara_falsa.cgi", r + "/camara.cgi");
        ASSERT_TRUE(escribirArchivo(r + "/sin-largo.cgi",
                                    "printf 'Content-Type: application/octet-stream\\r\\n\\r\\n'\n"
                                    "head -c 300000 /dev/zero\n"));
    }
    static void TearDownTestSuite() {
        delete web;
        web = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(web->listo()) << web->error().toStdString(); }

    static Origen origen(const QString& usuario, const QString& clave) {
        Origen o(QStringLiteral("red"), {}, {}, {});
        o.usuario = usuario;
        o.clave = clave;
        return o;
    }
    static QString mensaje(const std::function<void()>& f) {
        try {
            f();
        } catch (const ErrorCamara& e) {
            return e.description;
        }
        return QStringLiteral("(sin error)");
    }
    static ServidorWeb* web;
    QTemporaryDir tmp;
};
ServidorWeb* HttpReal::web = nullptr;

TEST_F(HttpReal, CredencialesDigestYBasica) {
    const Http h = pedir(origen("admin", "secreta"), web->url("/privado/dato.txt"), "GET",
                         std::nullopt, std::nullopt, {});
    EXPECT_EQ(h.estado, 200);
    EXPECT_EQ(h.texto(), QStringLiteral("contenido privado"));
    EXPECT_GE(h.intentosAuth, 1);
    EXPECT_LE(h.intentosAuth, 2);
    const Http b = pedir(origen("admin", "secreta"), web->url("/basica/dato.txt"), "GET",
                         std::nullopt, std::nullopt, {});
    EXPECT_EQ(b.texto(), QStringLiteral("contenido basico"));
    // SHA-256 digest, and a query string the signed request target must carry.
    const Http s = pedir(origen("admin", "secreta"), web->url("/sha/dato.txt"), "GET",
                         std::nullopt, std::nullopt, {});
    EXPECT_EQ(s.texto(), QStringLiteral("contenido sha"));
    const Http q = pedir(origen("admin", "secreta"), web->url("/privado/dato.txt?a=1&b=%20"),
                         "GET", std::nullopt, std::nullopt, {});
    EXPECT_EQ(q.texto(), QStringLiteral("contenido privado"));
    // A redirection on the same host keeps the credentials and is followed.
    const Http m = pedir(origen("admin", "secreta"), web->url("/mover"), "GET", std::nullopt,
                         std::nullopt, {});
    EXPECT_EQ(m.texto(), QStringLiteral("contenido privado"));
}

TEST_F(HttpReal, CredencialesRechazadas) {
    EXPECT_EQ(mensaje([&] {
                  pedir(origen("admin", "mala"), web->url("/privado/dato.txt"), "GET",
                        std::nullopt, std::nullopt, {});
              }),
              QStringLiteral("usuario o contraseña incorrectos"));
    EXPECT_EQ(mensaje([&] {
                  pedir(origen("admin", "mala"), web->url("/basica/dato.txt"), "GET",
                        std::nullopt, std::nullopt, {});
              }),
              QStringLiteral("usuario o contraseña incorrectos"));
    const Http h = Http::peticion(web->url("/privado/dato.txt"), {}, {});
    EXPECT_EQ(h.estado, 401);
    EXPECT_EQ(h.intentosAuth, 0);
    EXPECT_TRUE(h.cabecera("www-authenticate").value_or("").startsWith("Digest"));
}

TEST_F(HttpReal, EstadosDeError) {
    const auto o = origen("", "");
    EXPECT_EQ(mensaje([&] { pedir(o, web->url("/no-hay"), "GET", std::nullopt, std::nullopt, {}); }),
              QStringLiteral("la cámara no tiene esta ruta (quizá no es de esta familia)"));
    EXPECT_EQ(mensaje([&] {
                  pedir(o, web->url("/estado?codigo=503"), "GET", std::nullopt, std::nullopt, {});
              }),
              QStringLiteral("la cámara respondió 503"));
    EXPECT_EQ(pedir(o, web->url("/estado?codigo=206"), "GET", std::nullopt, std::nullopt, {}).estado, 206);
    EXPECT_EQ(pedir(o, web->url("/estado?codigo=304"), "GET", std::nullopt, std::nullopt, {}).estado, 304);
}

TEST_F(HttpReal, PaginaDeErrorNoVaAlFichero) {
    const QString destino = tmp.filePath("grabacion.mp4");
    ASSERT_TRUE(escribirArchivo(destino, "restos de antes"));
    const Http h = Http::peticion(web->url("/estado?codigo=404"), {}, {}, "GET", std::nullopt, 20,
                                  destino, [](int) { ADD_FAILURE() << "progreso de una página de error"; });
    EXPECT_EQ(h.estado, 404);
    EXPECT_TRUE(h.texto().contains("pagina de error"));
    // Not even an empty file: a caller could take it for a recording.
    EXPECT_FALSE(QFileInfo::exists(destino));
    EXPECT_EQ(h.total, 0);
}

// A download is a 200 or an error, never an empty file reported as downloaded.
TEST_F(HttpReal, DescargaQueNoEsUn200NoDejaFichero) {
    const struct {
        const char* ruta;
        const char* clave;
        const char* mensaje;
    } casos[] = {
        {"/estado?codigo=206", "", "la cámara respondió 206"},
        {"/estado?codigo=204", "", "la cámara respondió 204"},
        {"/estado?codigo=302", "", "la cámara respondió 302"},  // no Location to follow
        {"/no-hay", "", "la cámara no tiene esta ruta (quizá no es de esta familia)"},
        {"/privado/dato.txt", "mala", "usuario o contraseña incorrectos"},
        {"/privado/dato.txt", "secreta", "(sin error)"},
    };
    for (const auto& c : casos) {
        const QString destino = tmp.filePath("grabacion.mp4");
        ASSERT_TRUE(escribirArchivo(destino, "restos de antes"));
        EXPECT_EQ(mensaje([&] {
                      pedir(origen("admin", c.clave), web->url(c.ruta), "GET", std::nullopt,
                            destino, {});
                  }),
                  QString::fromUtf8(c.mensaje))
            << c.ruta;
        const bool bien = QString::fromUtf8(c.mensaje) == "(sin error)";
        EXPECT_EQ(QFileInfo::exists(destino), bien) << c.ruta;
        if (bien) {
            EXPECT_EQ(leerArchivo(destino), "contenido privado");
        }
    }
}

// A wrong password is offered once, digest or basic: recorders lock an account after a
// few wrong tries.
TEST_F(HttpReal, ClaveMalaSeOfreceUnaVez) {
    for (const char* ruta : {"/privado/dato.txt", "/basica/dato.txt"}) {
        const qsizetype antes = leerArchivo(web->carpeta() + "/error.log").count("admin");
        const Http h = Http::peticion(web->url(ruta), "admin", "mala");
        EXPECT_EQ(h.estado, 401) << ruta;
        EXPECT_EQ(h.intentosAuth, 1) << ruta;
        EXPECT_TRUE(h.rechazadas) << ruta;
        const QByteArray registro = leerArchivo(web->carpeta() + "/error.log");
        EXPECT_EQ(registro.count("admin") - antes, 1) << ruta << "\n" << registro.toStdString();
    }
}

TEST_F(HttpReal, DescargaConYSinLargo) {
    const QString destino = tmp.filePath("a.bin");
    QList<int> avances;
    const Http h = Http::peticion(web->url("/grande.bin"), {}, {}, "GET", std::nullopt, 20, destino,
                                  [&](int p) { avances << p; });
    EXPECT_EQ(h.estado, 200);
    EXPECT_EQ(QFileInfo(destino).size(), 3 * 1024 * 1024 + 17);
    EXPECT_EQ(h.total, 3 * 1024 * 1024 + 17);
    EXPECT_TRUE(h.datos.isEmpty());
    ASSERT_FALSE(avances.isEmpty());
    EXPECT_EQ(avances.last(), 100);
    EXPECT_TRUE(std::is_sorted(avances.begin(), avances.end()));

    const QString otro = tmp.filePath("b.bin");
    int llamadas = 0;
    const Http s = Http::peticion(web->url("/sin-largo.cgi"), {}, {}, "GET", std::nullopt, 20, otro,
                                  [&](int) { ++llamadas; });
    EXPECT_EQ(s.esperado, -1);
    EXPECT_EQ(QFileInfo(otro).size(), 300000);
    EXPECT_EQ(llamadas, 0);
}

TEST_F(HttpReal, TextoCabecerasYCuerpo) {
    const Http m = Http::peticion(web->url("/mal.txt"), {}, {});
    EXPECT_EQ(m.texto(), QStringLiteral("a\uFFFDb"));
    EXPECT_EQ(m.cabecera("CONTENT-LENGTH"), QStringLiteral("3"));
    EXPECT_FALSE(m.cabecera("X-No-Existe").has_value());
    const Http a = Http::peticion(web->url("/agente"), {}, {}, "POST", QStringLiteral("<a>ñ</a>"));
    EXPECT_EQ(a.texto(), QStringLiteral("ZorvPlayer|application/xml|<a>ñ</a>"));
}

TEST_F(HttpReal, SinProxyDelEntorno) {
    // A proxy variable must not carry requests for local devices away.
    qputenv("http_proxy", QByteArray("http://127.0.0.1:") + QByteArray::number(puertoLibre()));
    const Http h = Http::peticion(web->url("/mal.txt"), {}, {});
    qunsetenv("http_proxy");
    EXPECT_EQ(h.estado, 200);
}

TEST_F(HttpReal, DireccionesQueNoSirven) {
    EXPECT_EQ(mensaje([] { Http::peticion("esto no es una dirección", {}, {}); }),
              QStringLiteral("dirección no válida"));
    EXPECT_EQ(mensaje([] { Http::peticion("", {}, {}); }), QStringLiteral("dirección no válida"));
    const QString destino = tmp.filePath("nada.bin");
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(mensaje([&] {
                  Http::peticion(QStringLiteral("http://127.0.0.1:%1/").arg(puertoLibre()), {}, {},
                                 "GET", std::nullopt, 2, destino);
              }),
              QStringLiteral("la cámara no respondió"));
    EXPECT_LT(t.elapsed(), 2000);
    EXPECT_FALSE(QFileInfo::exists(destino));
}

TEST(HttpSeguro, CertificadoPropioAceptado) {
    OpcionesWeb o;
    o.https = true;
    ServidorWeb web(o);
    ASSERT_TRUE(web.listo()) << web.error().toStdString();
    QFile f(web.raiz() + "/hola.txt");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("hola segura");
    f.close();
    const Http h = Http::peticion(web.url("/hola.txt"), {}, {});
    EXPECT_EQ(h.estado, 200);
    EXPECT_EQ(h.texto(), QStringLiteral("hola segura"));
}

// A device that moves its web pages to HTTPS on another port of the same address: the
// password follows it there.
TEST(HttpSeguro, RedireccionAHttpsEnLaMismaDireccion) {
    OpcionesWeb s;
    s.https = true;
    s.extra = QStringLiteral(
        "auth.backend = \"htdigest\"\n"
        "auth.backend.htdigest.userfile = \"%CARPETA%/usuarios\"\n"
        "auth.require = (\"/privado/\" => (\"method\" => \"digest\", \"realm\" => \"zorv\", "
        "\"require\" => \"valid-user\"))\n");
    ServidorWeb seguro(s);
    ASSERT_TRUE(seguro.listo()) << seguro.error().toStdString();
    ASSERT_TRUE(escribirArchivo(seguro.carpeta() + "/usuarios",
                                ServidorWeb::lineaDigest("admin", "zorv", "secreta").toUtf8() + "\n"));
    seguro.poner("privado/dato.txt", "contenido seguro");
    OpcionesWeb p;
    p.extra = QStringLiteral("url.redirect = (\"^/(.*)$\" => \"https://127.0.0.1:%1/$1\")\n")
                  .arg(seguro.puerto());
    ServidorWeb plano(p);
    ASSERT_TRUE(plano.listo()) << plano.error().toStdString();
    Origen o(QStringLiteral("red"), {}, {}, {});
    o.clave = QStringLiteral("secreta");
    const Http h = pedir(o, plano.url("/privado/dato.txt"), "GET", std::nullopt, std::nullopt, {});
    EXPECT_EQ(h.texto(), QStringLiteral("contenido seguro"));
    EXPECT_EQ(h.intentosAuth, 1);
}

// A Python peer that misbehaves; its port is the first line it prints.
class PeerFalso {
public:
    explicit PeerFalso(const QString& modo, const QString& intervalo = {}) {
        QStringList args{raizFuentes() + "/tests/grabadores/http_falso.py", modo};
        if (!intervalo.isEmpty()) args << intervalo;
        p.start("python3", args);
        if (p.waitForStarted(5000) && p.waitForReadyRead(10000))
            puerto = p.readLine().trimmed().toInt();
    }
    ~PeerFalso() {
        p.kill();
        p.waitForFinished(3000);
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/x").arg(puerto); }
    QProcess p;
    int puerto = 0;
};

QString fallo(const std::function<void()>& f) {
    try {
        f();
    } catch (const ErrorCamara& e) {
        return e.description;
    }
    return QStringLiteral("(sin error)");
}

TEST(HttpFalso, SilencioTerminaEnElTiempoDeEspera) {
    PeerFalso s("silencio");
    ASSERT_GT(s.puerto, 0);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(fallo([&] { Http::peticion(s.url(), {}, {}, "GET", std::nullopt, 1.5); }),
              QStringLiteral("la cámara no respondió"));
    EXPECT_GE(t.elapsed(), 1400);
    EXPECT_LT(t.elapsed(), 4000);
}

TEST(HttpFalso, GoteoLoCortaElLimiteTotal) {
    // One byte a second never trips a 2-second idle timeout; the 6-second limit on the
    // whole transfer (3 × timeout) ends it.
    PeerFalso s("goteo", "1");
    ASSERT_GT(s.puerto, 0);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(fallo([&] { Http::peticion(s.url(), {}, {}, "GET", std::nullopt, 2); }),
              QStringLiteral("la cámara no respondió"));
    EXPECT_GE(t.elapsed(), 5500);
    EXPECT_LT(t.elapsed(), 9000);
}

// Peers that break the protocol: each ends in one clear message, and a download that
// did not complete leaves no file that could pass for a recording.
TEST(HttpFalso, RespuestasRotas) {
    const struct {
        const char* modo;
        double timeout;
        const char* mensaje;
    } casos[] = {
        {"largo", 5, "la cámara cortó la transferencia antes de terminar"},
        {"absurdo", 5, "la cámara cortó la transferencia antes de terminar"},
        {"infinito", 5, "la respuesta de la cámara supera 64 MiB y se descarta"},
        // Two seconds of silence are the limit, even in the middle of a body.
        {"pausa", 2, "la cámara no respondió"},
        {"cabecera", 5, "la cámara envió una cabecera demasiado larga"},
        {"nohttp", 5, "la cámara respondió algo que no es HTTP"},
    };
    QTemporaryDir tmp;
    for (const auto& c : casos) {
        PeerFalso s(c.modo);
        ASSERT_GT(s.puerto, 0) << c.modo;
        EXPECT_EQ(fallo([&] { Http::peticion(s.url(), {}, {}, "GET", std::nullopt, c.timeout); }),
                  QString::fromUtf8(c.mensaje))
            << c.modo;
        if (QLatin1String(c.modo) == QLatin1String("infinito")) continue;  // only in memory
        const QString destino = tmp.filePath(QStringLiteral("%1.mp4").arg(c.modo));
        EXPECT_EQ(fallo([&] {
                      Http::peticion(s.url(), {}, {}, "GET", std::nullopt, c.timeout, destino);
                  }),
                  QString::fromUtf8(c.mensaje))
            << c.modo;
        EXPECT_FALSE(QFileInfo::exists(destino)) << c.modo;
    }
}

// The status is the one the transfer read: after an interim response, and however the
// device spaced its status line.
TEST(HttpFalso, EstadoComoLoLeeElTransporte) {
    PeerFalso s("estados");
    ASSERT_GT(s.puerto, 0);
    const Origen o(QStringLiteral("red"), {}, {}, {});
    EXPECT_EQ(fallo([&] { pedir(o, s.url(), "GET", std::nullopt, std::nullopt, {}); }),
              QStringLiteral("la cámara no tiene esta ruta (quizá no es de esta familia)"));
}

// Header lines one by one, as the transfer hands them over with the status it read from
// a status line: interim responses say nothing, a new response forgets the one before,
// and lines after the final response's end (a chunked body's trailer) start none.
TEST(Http, LineasDeCabecera) {
    const struct {
        const char* caso;
        QList<std::pair<QByteArray, int>> lineas;
        int estado;
        int64_t esperado;
        qsizetype retos;
        bool completas;
    } casos[] = {
        {"simple", {{"HTTP/1.1 200 OK", 200}, {"Content-Length: 12", 0}, {"", 0}}, 200, 12, 0, true},
        {"provisional", {{"HTTP/1.1 100 Continue", 100}, {"Content-Length: 3", 0}, {"", 0},
                         {"HTTP/1.1  401 Unauthorized", 401}, {"WWW-Authenticate: Basic realm=\"x\"", 0},
                         {"www-authenticate: Digest realm=\"x\"", 0}, {"", 0}},
         401, -1, 2, true},
        {"a medias", {{"HTTP/1.1 200 OK", 200}, {"Content-Length: 99999999999999999999", 0}}, 200, -1, 0, false},
        {"trailer", {{"HTTP/1.1 200 OK", 200}, {"", 0}, {"HTTP/1.1 500 x", 0}, {"", 0}}, 200, -1, 0, true},
        {"negativo y basura", {{"HTTP/1.1 200 OK", 200}, {"Content-Length: -5", 0}, {": x", 0}, {"sin dos puntos", 0}},
         200, -1, 0, false},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.caso);
        Http h;
        h.datos = "de antes";
        LecturaCabeceras l;
        for (const auto& [linea, estado] : c.lineas) leerCabecera(h, l, linea + "\r\n", estado);
        EXPECT_EQ(h.estado, c.estado);
        EXPECT_EQ(h.esperado, c.esperado);
        EXPECT_EQ(l.retos.size(), c.retos);
        EXPECT_EQ(l.completas, c.completas);
        EXPECT_EQ(l.largoImposible, QLatin1String(c.caso) == QLatin1String("a medias"));
        EXPECT_TRUE(h.datos.isEmpty());
    }
}

// A device that asks again and again (stale, a new nonce each time) gets the password
// twice and the user hears it was refused.
TEST(HttpFalso, RetoSinFinDosOfertas) {
    PeerFalso s("reto");
    ASSERT_GT(s.puerto, 0);
    Origen o(QStringLiteral("red"), {}, {}, {});
    o.clave = QStringLiteral("la-que-sea");
    EXPECT_EQ(fallo([&] { pedir(o, s.url(), "GET", std::nullopt, std::nullopt, {}); }),
              QStringLiteral("usuario o contraseña incorrectos"));
    s.p.waitForReadyRead(1000);
    QByteArray vistas;
    while (s.p.waitForReadyRead(300)) {}
    vistas = s.p.readAll().simplified();
    EXPECT_EQ(vistas, "sin con con");
}

}  // namespace

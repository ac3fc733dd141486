// What a device's replies say, read without the network: the challenge of an
// unauthenticated request, the identification pages, ONVIF replies.
#include "grabadores/descubrir.h"
#include "grabadores/ftp.h"
#include "grabadores/http.h"
#include "grabadores/identificar.h"
#include "grabadores/reloj.h"

#include "apoyo/impresion.h"
#include "apoyo/zona_horaria.h"

#include <gtest/gtest.h>

namespace {

struct CasoReto {
    const char* candidato;
    int estado;
    const char* reto;
    const char* familia;  // "" when the reply says nothing
};

const CasoReto kRetos[] = {
    {"hikvision", 200, "", "hikvision"},
    {"dahua", 200, "", "dahua"},
    {"hikvision", 401, "Digest realm=\"DS-2CD2043\"", "hikvision"},
    {"hikvision", 401, "Basic realm=\"HIK\"", "hikvision"},
    {"dahua", 401, "Digest realm=\"Login to 4L0123\"", "dahua"},
    {"dahua", 401, "Basic realm=\"Imou\"", "dahua"},
    // A challenge that names the other family, or none, is only "a camera".
    {"hikvision", 401, "Digest realm=\"Dahua\"", "cámara"},
    {"dahua", 401, "Basic realm=\"Hikvision\"", "cámara"},
    {"hikvision", 401, "", "cámara"},
    {"hikvision", 401, "Digest realm=\"hikvision\"", "cámara"},  // case-sensitive
    {"hikvision", 404, "DS-", ""},
    {"dahua", 500, "Dahua", ""},
    {"dahua", 0, "", ""},
};

TEST(Lecturas, RetoSinCredenciales)
{
    for (const CasoReto& c : kRetos)
        EXPECT_EQ(familiaPorRespuesta(QString::fromUtf8(c.candidato), c.estado,
                                      QString::fromUtf8(c.reto)),
                  QString::fromUtf8(c.familia))
            << c.candidato << ' ' << c.estado << ' ' << c.reto;
}

struct CasoPagina {
    int pagina;  // index in PAGINAS_IDENTIFICACION
    const char* cuerpo;
    const char* familia;  // nullptr when the page does not identify the device
    const char* modelo;
};

const CasoPagina kPaginas[] = {
    {0, "<DeviceInfo><model>DS-7608NI</model></DeviceInfo>", "hikvision", "DS-7608NI"},
    {0, "<deviceType>IPCamera</deviceType>", "hikvision", ""},
    {0, "<model>a</model><model>b</model>", "hikvision", "a"},
    {0, "<html>login</html>", nullptr, nullptr},
    {1, "type=DH-XVR5104\r\n", "dahua", "DH-XVR5104"},
    {1, "deviceType=x\ntype= IPC-HDW \n", "dahua", "IPC-HDW"},
    {1, "type=", "dahua", ""},
    {1, "Error", nullptr, nullptr},
    {2, "var model=\"C7824WIP\";\r\n", "vstarcam", "C7824WIP"},
    {2, "var model=C7824WIP;", "vstarcam", ""},
    {2, "var name=\"x\";", nullptr, nullptr},
    {3, "<title>Index of /sd</title>", "vstarcam", "SD web"},
    {3, "<title>Index of /</title>", nullptr, nullptr},
};

TEST(Lecturas, PaginasDeIdentificacion)
{
    ASSERT_EQ(PAGINAS_IDENTIFICACION.size(), 4);
    for (const CasoPagina& c : kPaginas) {
        const auto leido = leerIdentificacion(PAGINAS_IDENTIFICACION[c.pagina],
                                              QString::fromUtf8(c.cuerpo));
        ASSERT_EQ(leido.has_value(), c.familia != nullptr) << c.cuerpo;
        if (leido) {
            EXPECT_EQ(leido->first, QString::fromUtf8(c.familia)) << c.cuerpo;
            EXPECT_EQ(leido->second, QString::fromUtf8(c.modelo)) << c.cuerpo;
        }
    }
    EXPECT_FALSE(leerIdentificacion(QStringLiteral("/otra"), QStringLiteral("type=x")));
}

TEST(Lecturas, RespuestaONVIF)
{
    const QByteArray sobre = "<s:Envelope><s:Body><d:ProbeMatches><d:ProbeMatch><d:Scopes>";
    const QByteArray fin = "</d:Scopes></d:ProbeMatch></d:ProbeMatches></s:Body></s:Envelope>";
    const struct {
        QByteArray alcances;
        const char* nombre;
        const char* hardware;
    } casos[] = {
        {"onvif://www.onvif.org/name/IPC%20Front onvif://www.onvif.org/hardware/DS-2CD",
         "IPC Front", "DS-2CD"},
        {"onvif://www.onvif.org/hardware/HW-1", "", "HW-1"},
        {"onvif://www.onvif.org/name/a onvif://www.onvif.org/name/b", "a", ""},
        {"onvif://www.onvif.org/name/%E2%82%AC", "\u20ac", ""},
        {"onvif://www.onvif.org/name/%FF", "", ""},
        {"onvif://www.onvif.org/name/a%2", "", ""},
        {"\xff\xfe onvif://www.onvif.org/name/x", "x", ""},
        // A name chosen by whoever set the device up reaches one line of the window.
        {"onvif://www.onvif.org/name/a%0Ab%09c", "abc", ""},
        {"onvif://www.onvif.org/name/" + QByteArray(100, 'n'), "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn"
                                                               "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn", ""},
    };
    for (const auto& c : casos) {
        const auto leida = leerRespuestaONVIF(sobre + c.alcances + fin);
        ASSERT_TRUE(leida) << c.alcances.constData();
        EXPECT_EQ(leida->first, QString::fromUtf8(c.nombre)) << c.alcances.constData();
        EXPECT_EQ(leida->second, QString::fromUtf8(c.hardware)) << c.alcances.constData();
    }
    // Any datagram may arrive: only an answer to the probe names a device.
    for (const QByteArray& otro : {QByteArray("onvif://www.onvif.org/name/x"),
                                   QByteArray("<Envelope>onvif://www.onvif.org/name/x</Envelope>"),
                                   QByteArray()})
        EXPECT_FALSE(leerRespuestaONVIF(otro)) << otro.constData();
}

} // namespace

// Where a device's web pages and FTP are, from its ports (a typed one leads its list);
// what a 401 says of a locked account; what a device says of its clock (PC in Madrid).
TEST(Lecturas, PuertosBloqueosYRelojes)
{
    const std::tuple<QList<int>, const char*> puertos[] = {
        {{2121, 554, 21}, "http://10.0.0.5:2121 ftp://10.0.0.5:2121/"},
        {{21, 443, 554}, "https://10.0.0.5:443 ftp://10.0.0.5/"},
        {{21, 554}, "http://10.0.0.5:80 ftp://10.0.0.5/"}};
    for (const auto& [lista, urls] : puertos) {
        Origen o(QStringLiteral("red"), {}, {}, {});
        o.ip = QStringLiteral("10.0.0.5");
        o.puertos = lista;
        EXPECT_EQ(baseWeb(o) + " " + urlFTP(o, QStringLiteral("/")), QString::fromUtf8(urls));
    }
    const QString b = QStringLiteral("cuenta bloqueada por el equipo tras varios intentos fallidos; ");
    EXPECT_EQ(mensajeBloqueo("<lockStatus>lock</lockStatus><unlockTime>1793</unlockTime>"), b + "se desbloquea dentro de 29 min 53 s");
    EXPECT_EQ(mensajeBloqueo("{\"code\":268632081,\"params\":{\"remainLockSecond\":65}}"), b + "se desbloquea dentro de 1 min 5 s");
    EXPECT_EQ(mensajeBloqueo("Account Locked"), b + "espera a que se desbloquee");
    EXPECT_FALSE(mensajeBloqueo("<lockStatus>unlock</lockStatus>Unauthorized"));
    ZonaHoraria madrid("Europe/Madrid");
    const QDateTime pc(QDate(2024, 3, 5), QTime(13, 0, 0), Qt::UTC);
    const std::tuple<std::optional<RelojEquipo>, qint64, std::optional<int>> relojes[] = {
        {leerRelojHikvision("<localTime>2024-03-05T13:58:50</localTime><timeZone>CET-1:00:00</timeZone>", pc),
         -70000, std::nullopt},
        {leerRelojDahua("result=2024-3-5 21:03:12", "table.NTP.TimeZone=13\r\n", pc), 192000, 28800},
        // An hour ahead of its standard offset is summer time, not a clock an hour fast.
        {leerRelojDahua("result=2024-03-05 09:01:00", "table.NTP.TimeZone=25", pc), 60000, -14400}};
    for (const auto& [leido, desfase, zona] : relojes) {
        ASSERT_TRUE(leido);
        EXPECT_EQ(std::pair(leido->desfase, leido->zona), std::pair(desfase, zona));
    }
    EXPECT_FALSE(leerRelojDahua("result=2024-03-05 14:00:00", "table.NTP.TimeZone=40", pc));
}

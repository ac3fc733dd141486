// What a device's replies say, read without the network: the challenge of an
// unauthenticated request, the identification pages, header lines, ONVIF replies.
#include "grabadores/descubrir.h"
#include "grabadores/http.h"
#include "grabadores/identificar.h"

#include "apoyo/impresion.h"

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

TEST(Lecturas, LineasDeCabecera)
{
    Http h(QStringLiteral("admin"), QStringLiteral("clave"));
    h.datos = "cuerpo de una respuesta anterior";
    for (const char* linea : {"HTTP/1.1 401 Unauthorized\r\n", "WWW-Authenticate: Digest a\r\n",
                              "HTTP/1.1 100 Continue\r\n", "HTTP/1.1 200 OK\r\n",
                              "Set-Cookie: a=1\r\n", "Set-Cookie: c=3\r\n",
                              "Content-Length: 12\r\n", "sin dos puntos\r\n", ": sin nombre\r\n",
                              "\r\n"})
        leerLineaCabecera(h, linea);
    // Only the final response counts; an interim 100 changes nothing.
    EXPECT_EQ(h.estado, 200);
    EXPECT_TRUE(h.datos.isEmpty());
    EXPECT_EQ(h.intentosAuth, 1);
    EXPECT_FALSE(h.cabecera(QStringLiteral("WWW-Authenticate")).has_value());
    EXPECT_EQ(h.esperado, 12);
    EXPECT_EQ(h.cabeceras.value(QStringLiteral("Set-Cookie")), QStringLiteral("a=1, c=3"));

    for (const char* largo : {"Content-Length: -5", "Content-Length: 99999999999999999999",
                              "Content-Length: 1e3"}) {
        leerLineaCabecera(h, largo);
        EXPECT_EQ(h.esperado, -1) << largo;
    }
    leerLineaCabecera(h, "HTTP/1.1 abc\r\n");
    EXPECT_EQ(h.estado, 0);
}

TEST(Lecturas, RespuestaONVIF)
{
    const struct {
        const char* respuesta;
        const char* nombre;
        const char* hardware;
    } casos[] = {
        {"<d:Scopes>onvif://www.onvif.org/name/IPC%20Front onvif://www.onvif.org/hardware/"
         "DS-2CD</d:Scopes>",
         "IPC Front", "DS-2CD"},
        {"onvif://www.onvif.org/hardware/HW-1", "", "HW-1"},
        {"onvif://www.onvif.org/name/a onvif://www.onvif.org/name/b", "a", ""},
        {"onvif://www.onvif.org/name/%E2%82%AC", "€", ""},
        {"onvif://www.onvif.org/name/%FF", "", ""},
        {"onvif://www.onvif.org/name/a%2", "", ""},
        {"\xff\xfe onvif://www.onvif.org/name/x", "x", ""},
        {"", "", ""},
    };
    for (const auto& c : casos) {
        const auto [nombre, hardware] = leerRespuestaONVIF(QByteArray(c.respuesta));
        EXPECT_EQ(nombre, QString::fromUtf8(c.nombre)) << c.respuesta;
        EXPECT_EQ(hardware, QString::fromUtf8(c.hardware)) << c.respuesta;
    }
}

} // namespace

// What a device's replies say, read without the network: the challenge of an
// unauthenticated request, the identification pages, ONVIF replies.
#include "grabadores/descubrir.h"
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

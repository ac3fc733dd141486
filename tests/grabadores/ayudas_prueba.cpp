#include "grabadores/ayudas.h"
#include "grabadores/descubrir.h"
#include "grabadores/identificar.h"
#include "grabadores/listado.h"
#include "grabadores/modelo.h"

#include "apoyo/impresion.h"

#include <gtest/gtest.h>

#include <QSet>
#include <thread>
#include <sys/resource.h>

TEST(Modelo, OrigenNuevoYErrorSinAdornos) {
    Origen o(QStringLiteral("red"), QStringLiteral("10.0.0.2"), QStringLiteral("10.0.0.2"), {});
    EXPECT_EQ(o.usuario, QStringLiteral("admin"));
    EXPECT_TRUE(o.clave.isEmpty());
    EXPECT_TRUE(o.puertos.isEmpty());
    EXPECT_TRUE(o.familia.isEmpty());
    EXPECT_FALSE(o.onvif);
    EXPECT_FALSE(o.hijos.has_value());
    const ErrorCamara e(QStringLiteral("la cámara no respondió"));
    EXPECT_EQ(e.description, QStringLiteral("la cámara no respondió"));
    EXPECT_STREQ(e.what(), "la cámara no respondió");
    Fichero f(QStringLiteral("grabacion.mp4"), std::nullopt, 0, QStringLiteral("/x"),
              std::make_shared<Origen>(o), QStringLiteral("d"));
    EXPECT_FALSE(f.fecha.has_value());
    EXPECT_FALSE(f.estado.has_value());
    EXPECT_FALSE(f.marcado || f.crudo);
}

TEST(Ayudas, PeriodosExactos) {
    const auto [a, b] = fechasPeriodo(QStringLiteral("24 horas"));
    EXPECT_EQ(a.secsTo(b), 86400);
    const auto [c, d] = fechasPeriodo(QStringLiteral("7 días"));
    EXPECT_EQ(c.secsTo(d), 7 * 86400);
    const auto [e, f] = fechasPeriodo(QStringLiteral("30 días"));
    EXPECT_EQ(e.secsTo(f), 30 * 86400);
    const auto [g, h] = fechasPeriodo(QStringLiteral("Todo"));
    EXPECT_EQ(g.secsTo(h), 157680000);
    // Compared byte for byte: a decomposed accent is another key.
    const auto [i, j] = fechasPeriodo(QStringLiteral("7 di\u0301as"));
    EXPECT_EQ(i.secsTo(j), 157680000);
}

TEST(Ayudas, GruposYUno) {
    const auto g = grupos(QStringLiteral("a=1\nb=2"), QStringLiteral("(\\w)=(\\d)"));
    ASSERT_EQ(g.size(), 2);
    EXPECT_EQ(g[1], (QStringList{QStringLiteral("b=2"), QStringLiteral("b"), QStringLiteral("2")}));
    // A dot crosses lines and ^/$ anchor the whole text.
    EXPECT_EQ(uno(QStringLiteral("<a>x\ny</a>"), QStringLiteral("<a>(.*)</a>")), QStringLiteral("x\ny"));
    EXPECT_FALSE(uno(QStringLiteral("x\ny"), QStringLiteral("^y")).has_value());
    EXPECT_TRUE(grupos(QStringLiteral("abc"), QStringLiteral("(")).isEmpty());
    EXPECT_FALSE(uno(QStringLiteral("abc"), QStringLiteral("[")).has_value());
    EXPECT_EQ(uno(QStringLiteral("abc"), QStringLiteral("b")), QStringLiteral("b"));
    // A group that took no part gives an empty text, not an absent one.
    const auto u = uno(QStringLiteral("abc"), QStringLiteral("(x)?abc"));
    ASSERT_TRUE(u.has_value());
    EXPECT_TRUE(u->isEmpty());
    EXPECT_FALSE(uno(QStringLiteral("ABC"), QStringLiteral("abc")).has_value());
}

TEST(Ayudas, Entidades) {
    EXPECT_EQ(htmlDecode(QStringLiteral("a &amp;amp; b")), QStringLiteral("a &amp; b"));
    EXPECT_EQ(htmlDecode(QStringLiteral("&amp;lt;")), QStringLiteral("<"));
    EXPECT_EQ(htmlDecode(QStringLiteral("&quot;x&quot; &#38;")), QStringLiteral("\"x\" &#38;"));
    EXPECT_EQ(htmlEncode(QStringLiteral("<a href=\"x\">&</a>")),
              QStringLiteral("&lt;a href=\"x\"&gt;&amp;&lt;/a&gt;"));
}

TEST(Ayudas, NombresYFormatos) {
    const QDateTime t(QDate(2024, 3, 5), QTime(14, 7, 9));
    EXPECT_EQ(nombreFecha(t, QStringLiteral(".mp4")), QStringLiteral("2024-03-05-14-07-09.mp4"));
    EXPECT_EQ(nombreFecha(std::nullopt, QStringLiteral(".mp4")), QStringLiteral("grabacion.mp4"));
    EXPECT_EQ(nombreFecha(std::nullopt, QStringLiteral(".h264"), QStringLiteral("vivo")),
              QStringLiteral("vivo.h264"));
    const auto f = fmt(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"), true);
    const auto leida = f.fecha(QStringLiteral("2024-01-31T23:59:58Z"));
    ASSERT_TRUE(leida.has_value());
    EXPECT_EQ(leida->toSecsSinceEpoch(), 1706745598);
    EXPECT_EQ(f.texto(*leida), QStringLiteral("2024-01-31T23:59:58Z"));
    EXPECT_FALSE(f.fecha(QStringLiteral("ayer")).has_value());
    EXPECT_EQ(fmt(QStringLiteral("MMM"), true).texto(*leida), QStringLiteral("Jan"));
}

TEST(Descubrir, RedesYHosts) {
    auto d = [](uint32_t ip, int prefijo, bool activa = true, bool bucle = false) {
        return DireccionInterfaz{ip, prefijo ? 0xFFFFFFFFu << (32 - prefijo) : 0, activa, bucle};
    };
    const uint32_t a = 0xC0A80105;  // 192.168.1.5
    const auto redes = filtrarRedes({d(0x7F000001, 8, true, true), d(0xAC100001, 16),
                                     d(0xA9FE0102, 24), d(a, 24, false), d(0x0A000001, 21),
                                     d(0x0A000101, 22), d(a, 24), d(a, 24)});
    EXPECT_EQ(redes, (QList<RedLocal>{RedLocal(0x0A000101, 22), RedLocal(a, 24)}));
    EXPECT_EQ(ipTexto(0x0A4D0009), QStringLiteral("10.77.0.9"));
    const auto h = hostsDe(RedLocal(a, 24));
    EXPECT_EQ(h.size(), 253);
    EXPECT_EQ(h.first(), QStringLiteral("192.168.1.1"));
    EXPECT_EQ(h.last(), QStringLiteral("192.168.1.254"));
    EXPECT_FALSE(h.contains(QStringLiteral("192.168.1.5")));
    EXPECT_EQ(hostsDe(RedLocal(0x0A000101, 22)).size(), 1021);
    EXPECT_TRUE(hostsDe(RedLocal(a, 31)).isEmpty());
    EXPECT_TRUE(hostsDe(RedLocal(a, 32)).isEmpty());
    EXPECT_EQ(hostsDe(RedLocal(0x0A4D0001, 30)), QStringList{QStringLiteral("10.77.0.2")});
    int llamadas = 0;
    EXPECT_TRUE(sondearPuertos({}, [&](int) { ++llamadas; }).isEmpty());
    EXPECT_EQ(llamadas, 0);
}

TEST(Descubrir, CamposONVIF) {
    const QString r = QStringLiteral(
        "<d:Scopes>onvif://www.onvif.org/type/video onvif://www.onvif.org/name/IPC%20Front "
        "onvif://www.onvif.org/hardware/HW-1</d:Scopes><x>onvif://www.onvif.org/name/Otra</x>");
    EXPECT_EQ(campo(QStringLiteral("name"), r), QStringLiteral("IPC Front"));
    EXPECT_EQ(campo(QStringLiteral("hardware"), r), QStringLiteral("HW-1"));
    EXPECT_EQ(campo(QStringLiteral("location"), r), QString());
    EXPECT_EQ(campo(QStringLiteral("name"), QStringLiteral("onvif://www.onvif.org/name/a%2")), QString());
    EXPECT_EQ(campo(QStringLiteral("name"), QStringLiteral("onvif://www.onvif.org/name/%C3%B1u")),
              QStringLiteral("ñu"));
    const QString s = sondaONVIF(QStringLiteral("u-1"));
    EXPECT_TRUE(s.contains(QStringLiteral("<w:MessageID>uuid:u-1</w:MessageID>")));
    EXPECT_TRUE(s.endsWith(QStringLiteral("</e:Envelope>")));
}

TEST(Identificar, PuertoWebYOrden) {
    Origen o(QStringLiteral("red"), {}, {}, {});
    EXPECT_EQ(puertoWeb(o), 80);
    o.puertos = {554, 8080};
    EXPECT_EQ(puertoWeb(o), 8080);
    o.puertos = {80, 8080};
    EXPECT_EQ(puertoWeb(o), 80);
    o.puertos = {554};
    EXPECT_EQ(puertoWeb(o), 80);
    EXPECT_TRUE(antesQue(QStringLiteral("192.168.1.9"), QStringLiteral("192.168.1.10")));
    EXPECT_FALSE(antesQue(QStringLiteral("10.0.0.10"), QStringLiteral("9.0.0.10")));
    EXPECT_TRUE(antesQue(QStringLiteral("x.1"), QStringLiteral("1.1")));
    // Only port 554: no web request is made, so this answers at once.
    EXPECT_EQ(familia(QStringLiteral("127.0.0.1"), {554}),
              (std::pair<QString, QString>{QStringLiteral("rtsp"), QString()}));
    EXPECT_EQ(familia(QStringLiteral("127.0.0.1"), {21, 554}).first, QStringLiteral("rtsp"));
    EXPECT_EQ(familia(QStringLiteral("127.0.0.1"), {21, 37777}).first, QStringLiteral("xiongmai"));
    EXPECT_EQ(familia(QStringLiteral("127.0.0.1"), {8000}).first, QStringLiteral("desconocida"));
}

TEST(Descubrir, SondeoSubeElLimiteDeFicheros) {
    rlimit antes{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &antes), 0);
    rlimit bajo = antes;
    bajo.rlim_cur = std::min<rlim_t>(256, antes.rlim_max);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &bajo), 0);
    sondearPuertos({}, {});
    rlimit despues{};
    getrlimit(RLIMIT_NOFILE, &despues);
    EXPECT_EQ(despues.rlim_cur, std::min<rlim_t>(2048, antes.rlim_max));
    setrlimit(RLIMIT_NOFILE, &antes);
}

TEST(Descubrir, RespuestasONVIFYNombres) {
    const struct {
        const char* texto;
        bool vale;
    } respuestas[] = {
        {"<s:Envelope x='1'><s:Body><d:ProbeMatches><d:ProbeMatch><d:Scopes/></d:ProbeMatch>"
         "</d:ProbeMatches></s:Body></s:Envelope>", true},
        {"<Envelope><Body><ProbeMatches><ProbeMatch>x</ProbeMatch></ProbeMatches></Body></Envelope>", true},
        {"hola onvif://www.onvif.org/name/x", false},
        {"<e:Envelope><e:Body><d:Hello>onvif://www.onvif.org/name/x</d:Hello></e:Body></e:Envelope>", false},
        {"<e:Envelope><e:Body><d:ProbeMatches></d:ProbeMatches></e:Body></e:Envelope>", false},
        {"<d:ProbeMatch>sin sobre</d:ProbeMatch>", false},
    };
    for (const auto& r : respuestas) EXPECT_EQ(esCoincidenciaONVIF(QString::fromUtf8(r.texto)), r.vale) << r.texto;

    const QString emoji = QString::fromUcs4(U"\U0001F4F7");
    const struct {
        QString nombre;
        QString limpio;
    } nombres[] = {
        {QStringLiteral("Uno\nDos") + QChar(0) + QStringLiteral("Tres\t\u2028\u2029"), QStringLiteral("UnoDosTres")},
        {QString(100, u'x'), QString(64, u'x')},
        {emoji.repeated(70), emoji.repeated(64)},  // whole characters, never half of one
        {QStringLiteral("Cámara 1 · Entrada"), QStringLiteral("Cámara 1 · Entrada")},
    };
    for (const auto& n : nombres) EXPECT_EQ(textoDeDispositivo(n.nombre), n.limpio);
}

// Channels searched two at a time: what each found in channel order, failures named by
// channel once per message, all failing is the listing's failure, refusal ends it at once.
TEST(Ayudas, BusquedaPorCanales) {
    QList<Canal> canales;
    for (int i = 1; i <= 6; ++i) canales << Canal{i, QStringLiteral("c%1").arg(i)};
    std::atomic<int> buscados{0}, enCurso{0}, maximo{0};
    const auto buscar = [&](const QSet<int>& fallan, int credenciales) {
        return [&, fallan, credenciales](const Canal& c) {
            for (int m = maximo, a = (++buscados, ++enCurso); a > m && !maximo.compare_exchange_weak(m, a);) {}
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            --enCurso;
            if (c.numero == credenciales) throw ErrorCredenciales("usuario o contraseña incorrectos");
            if (fallan.contains(c.numero)) throw ErrorCamara(c.numero == 4 ? "otro" : "la cámara respondió 500");
            return Listado{{std::make_shared<Fichero>("f", std::nullopt, 0, "", nullptr, "")}, {}, {}, {}};
        };
    };
    const Listado l = porCanales(canales, 2, buscar({2, 4, 5}, 0));
    EXPECT_EQ(l.ficheros.size(), 3);
    EXPECT_EQ(QString::number(l.ficheros[1]->canal) + l.ficheros[1]->nombreCanal, QStringLiteral("3c3"));
    EXPECT_EQ(l.cortes, QStringList({"canales 2 y 5: la cámara respondió 500", "canal 4: otro"}));
    EXPECT_EQ(maximo, 2) << "two requests at a time, never more";
    EXPECT_THROW(porCanales(canales, 2, buscar({1, 2, 3, 4, 5, 6}, 0)), ErrorCamara);
    buscados = 0;
    EXPECT_THROW(porCanales(canales, 1, buscar({}, 2)), ErrorCredenciales);
    EXPECT_EQ(buscados, 2);
}

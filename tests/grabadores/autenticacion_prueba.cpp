// Challenges as devices write them, and which one gets an answer. The answers themselves
// are checked by a real lighttpd in the HTTP tests.
#include "apoyo/impresion.h"
#include "grabadores/autenticacion.h"

#include <gtest/gtest.h>

namespace {

QStringList esquemas(const QList<Reto>& retos) {
    QStringList l;
    for (const Reto& r : retos) l << r.esquema;
    return l;
}

TEST(Autenticacion, LeeLosRetos) {
    const auto uno = leerRetos({R"(Digest realm="a, b", qop="auth,auth-int", nonce="x\"y", algorithm=MD5-sess)"});
    ASSERT_EQ(uno.size(), 1);
    EXPECT_EQ(uno[0].esquema, "digest");
    EXPECT_EQ(uno[0].valores.value("realm"), "a, b");
    EXPECT_EQ(uno[0].valores.value("qop"), "auth,auth-int");
    EXPECT_EQ(uno[0].valores.value("nonce"), "x\"y");
    EXPECT_EQ(uno[0].valores.value("algorithm"), "MD5-sess");

    const struct {
        QStringList cabeceras;
        QStringList esquemas;
    } casos[] = {
        {{R"(Basic realm="r")", R"(Digest realm="d", nonce="n")"}, {"basic", "digest"}},
        {{R"(Negotiate, Digest realm="d", nonce="n", Basic realm="r")"}, {"negotiate", "digest", "basic"}},
        {{"Negotiate YWJj==, Basic realm=r"}, {"negotiate", "basic"}},
        {{R"(Digest realm="sin cerrar)"}, {"digest"}},
        {{"", " , ,"}, {}},
    };
    for (const auto& c : casos) EXPECT_EQ(esquemas(leerRetos(c.cabeceras)), c.esquemas) << c.cabeceras.join(" | ").toStdString();
}

TEST(Autenticacion, EligeQueResponder) {
    const struct {
        const char* retos;
        const char* empieza;  // nullptr: nothing to answer
        const char* contiene;
    } casos[] = {
        {R"(Basic realm="r", Digest realm="d", nonce="n")", "Digest username=\"admin\"", "uri=\"/a?b=1\""},
        {R"(Digest realm="d", nonce="n", algorithm=MD5, Digest realm="d", nonce="n", algorithm=SHA-256)",
         "Digest ", "algorithm=SHA-256"},
        {R"(Digest realm="d", nonce="n", qop="auth-int")", "Digest ", "qop=auth-int"},
        {R"(Basic realm="r")", "Basic YWRtaW46c2VjcmV0YQ==", ""},
        {R"(Digest realm="d", qop="auth", Basic realm="r")", "Basic ", ""},  // no nonce
        {R"(Digest realm="d", nonce="n", qop="auth-conf")", nullptr, nullptr},
        {R"(Digest realm="d", nonce="n", algorithm=SHA-512-256)", nullptr, nullptr},
        {"Negotiate", nullptr, nullptr},
        {R"(Digest realm="d", nonce="n", userhash=true)", "Digest username=\"", "userhash=true"},
    };
    for (const auto& c : casos) {
        Autenticador a(QStringLiteral("admin"), QStringLiteral("secreta"));
        const auto h = a.responder(leerRetos({QString::fromUtf8(c.retos)}), "GET", "/a?b=1", {});
        if (!c.empieza) {
            EXPECT_FALSE(h.has_value()) << c.retos;
            continue;
        }
        ASSERT_TRUE(h.has_value()) << c.retos;
        EXPECT_TRUE(h->startsWith(c.empieza)) << c.retos << "\n" << h->toStdString();
        EXPECT_TRUE(h->contains(c.contiene)) << c.retos << "\n" << h->toStdString();
    }
}

// The nonce count runs per nonce; a device's text never breaks our header into lines.
TEST(Autenticacion, CuentaYComillas) {
    Autenticador a(QStringLiteral("ad\"min"), QStringLiteral("x"));
    const auto reto = leerRetos({QStringLiteral("Digest realm=\"d\\\"\x01\", qop=auth, nonce=\"n\"")});
    const auto otro = leerRetos({QStringLiteral("Digest realm=\"d\", qop=auth, nonce=\"m\"")});
    const QByteArray h1 = *a.responder(reto, "GET", "/", {});
    const QByteArray h2 = *a.responder(reto, "GET", "/", {});
    const QByteArray h3 = *a.responder(otro, "GET", "/", {});
    EXPECT_TRUE(h1.contains("nc=00000001"));
    EXPECT_TRUE(h2.contains("nc=00000002"));
    EXPECT_TRUE(h3.contains("nc=00000001"));
    EXPECT_TRUE(h1.contains("username=\"ad\\\"min\"")) << h1.toStdString();
    EXPECT_TRUE(h1.contains("realm=\"d\\\"\"")) << h1.toStdString();
    for (const char c : h1) EXPECT_GE(static_cast<unsigned char>(c), 32);
}

}  // namespace

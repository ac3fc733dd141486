#include "actualizador/actualizador.h"
#include "apoyo/programa.h"
#include "apoyo_actualizador.h"
#include "apoyo/servidor_web.h"
#include "comun/json.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

const QMap<QString, QByteArray> kArchivos = {
    {QStringLiteral("AppRun"), "#!/bin/sh\n"},
    {QStringLiteral("usr/bin/mpv"), "binario"},
};

class Comprobar : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(web.listo()); }

    QString u() const { return datos.path() + QStringLiteral("/update"); }
    QString log() const
    {
        return QString::fromUtf8(leerArchivo(u() + QStringLiteral("/actualizador.log")));
    }

    void publicar(const QString& version, const QByteArray& paquete, QJsonObject linux = {},
                  bool conPaquete = true)
    {
        if (conPaquete)
            web.poner(QStringLiteral("p.tar.gz"), paquete);
        const QString sha = sha256Hex(paquete);
        if (linux.isEmpty())
            linux = {{QStringLiteral("url"), web.url(QString()) + QStringLiteral("/p.tar.gz")},
                     {QStringLiteral("sha256"), sha.toUpper()},
                     {QStringLiteral("sig"), firmar(sha.toUtf8())}};
        web.poner(QStringLiteral("latest.json"),
                  QJsonDocument(QJsonObject{{QStringLiteral("version"), version},
                                            {QStringLiteral("notas"), QStringLiteral("mejoras")},
                                            {QStringLiteral("linux"), linux}})
                      .toJson());
    }

    int correr(const QString& sub, const QString& instalada = QStringLiteral("1.0"))
    {
        OpcionesActualizador o;
        o.argumentos = {sub, web.url(QString()), instalada, datos.path()};
        o.permitirHttp = true;
        return correrActualizador(o);
    }

    ServidorWeb web;
    QTemporaryDir datos;
};

} // namespace

TEST_F(Comprobar, SinVersionNuevaOEntradaIncompletaBorraLosJSON)
{
    escribirJSON({{QStringLiteral("version"), QStringLiteral("1.5")}}, u() + QStringLiteral("/disponible.json"));
    escribirJSON({{QStringLiteral("version"), QStringLiteral("1.5")}}, u() + QStringLiteral("/pendiente.json"));
    publicar(QStringLiteral("1.0.0"), hacerPaquete(kArchivos));
    EXPECT_EQ(correr(QStringLiteral("comprobar")), 0);
    EXPECT_FALSE(QFile::exists(u() + QStringLiteral("/disponible.json")));
    EXPECT_FALSE(QFile::exists(u() + QStringLiteral("/pendiente.json")));

    escribirJSON({{QStringLiteral("version"), QStringLiteral("1.5")}}, u() + QStringLiteral("/disponible.json"));
    publicar(QStringLiteral("2.0"), {}, {{QStringLiteral("url"), QStringLiteral("x")},
                                         {QStringLiteral("sha256"), QStringLiteral("y")}});
    EXPECT_EQ(correr(QStringLiteral("consultar")), 0);
    EXPECT_FALSE(QFile::exists(u() + QStringLiteral("/disponible.json")));
    EXPECT_TRUE(log().isEmpty());
}

TEST_F(Comprobar, ConsultarAnotaLaVersionDisponible)
{
    publicar(QStringLiteral("2.0"), hacerPaquete(kArchivos));
    EXPECT_EQ(correr(QStringLiteral("consultar")), 0);
    const auto d = leerJSON(u() + QStringLiteral("/disponible.json"));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->value(QStringLiteral("notas")).toString(), QStringLiteral("mejoras"));
    EXPECT_FALSE(QFile::exists(u() + QStringLiteral("/ZorvPlayer-2.0.tar.gz")));
    EXPECT_TRUE(log().contains(QRegularExpression(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ \\[consultar\\] hay 2.0 \\(instalada 1.0\\), "
        "pendiente de que el usuario acepte\n$"))));
}

TEST_F(Comprobar, ComprobarPreparaUnaVezYNoRepite)
{
    publicar(QStringLiteral("2.0"), hacerPaquete(kArchivos));
    EXPECT_EQ(correr(QStringLiteral("comprobar")), 0);
    const auto p = leerJSON(u() + QStringLiteral("/pendiente.json"));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->value(QStringLiteral("dmg")).toString(), u() + QStringLiteral("/ZorvPlayer-2.0.tar.gz"));
    EXPECT_TRUE(QFile::exists(u() + QStringLiteral("/ZorvPlayer-2.0.tar.gz")));
    EXPECT_TRUE(log().endsWith(QStringLiteral("[comprobar] 2.0 verificada y preparada\n")));
    const QString antes = log();
    QFile::remove(web.raiz() + QStringLiteral("/p.tar.gz"));
    EXPECT_EQ(correr(QStringLiteral("comprobar")), 0);
    EXPECT_EQ(log(), antes);
}

TEST_F(Comprobar, PaquetesMalosSeDescartan)
{
    const QString p = u() + QStringLiteral("/ZorvPlayer-2.0.tar.gz");
    const QByteArray bueno = hacerPaquete(kArchivos);
    struct Caso {
        const char* mensaje;
        std::function<void()> preparar;
    };
    const std::vector<Caso> casos = {
        {"no se pudo descargar el paquete",
         [&] {
             publicar(QStringLiteral("2.0"), bueno, {}, false);
             QFile::remove(web.raiz() + QStringLiteral("/p.tar.gz"));
         }},
        {"sha256 no coincide, descartado",
         [&] {
             publicar(QStringLiteral("2.0"), bueno);
             web.poner(QStringLiteral("p.tar.gz"), bueno + "x");
         }},
        {"firma ZORV NO válida, descartado",
         [&] {
             const QString sha = sha256Hex(bueno);
             publicar(QStringLiteral("2.0"), bueno,
                      {{QStringLiteral("url"), web.url(QString()) + QStringLiteral("/p.tar.gz")},
                       {QStringLiteral("sha256"), sha},
                       {QStringLiteral("sig"), firmar(sha.toUpper().toUtf8())}});
         }},
        {"el paquete no pasa la comprobación del sistema, descartado",
         [&] { publicar(QStringLiteral("2.0"), bueno.left(bueno.size() / 2)); }},
        {"el paquete no pasa la comprobación del sistema, descartado",
         [&] { publicar(QStringLiteral("2.0"), "esto no es un tar"); }},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.mensaje);
        c.preparar();
        EXPECT_EQ(correr(QStringLiteral("comprobar")), 1);
        EXPECT_TRUE(log().endsWith(QString::fromUtf8(c.mensaje) + QLatin1Char('\n'))) << log().toStdString();
        EXPECT_FALSE(QFile::exists(p));
        EXPECT_FALSE(QFile::exists(u() + QStringLiteral("/pendiente.json")));
        EXPECT_EQ(QDir(u()).entryList(QDir::Files).filter(QStringLiteral("ZorvPlayer")).size(), 0);
    }
}

// A folder in the place of the file: the record the player reads cannot be written.
TEST_F(Comprobar, UnaAnotacionQueNoSeEscribeEsUnFallo)
{
    publicar(QStringLiteral("2.0"), hacerPaquete(kArchivos));
    for (const auto& [sub, nombre] : {std::pair{"consultar", "disponible.json"}, {"comprobar", "pendiente.json"}}) {
        SCOPED_TRACE(nombre);
        QDir(u()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(u() + QLatin1Char('/') + QLatin1String(nombre) + QStringLiteral("/x")));
        EXPECT_EQ(correr(QString::fromLatin1(sub)), 1);
        EXPECT_TRUE(log().contains(QStringLiteral("no se pudo escribir ") + QLatin1String(nombre))) << log().toStdString();
        EXPECT_FALSE(log().contains(QStringLiteral("pendiente de que el usuario acepte")));
        EXPECT_FALSE(log().contains(QStringLiteral("verificada y preparada")));
        EXPECT_FALSE(QFile::exists(u() + QStringLiteral("/ZorvPlayer-2.0.tar.gz")));
    }
}

TEST_F(Comprobar, SoloLasVersionesQueNombranOtraRutaSeRechazan)
{
    struct Caso {
        const char* version;
        bool valida;
    };
    for (const Caso& c : {Caso{"9..1", true}, Caso{"2.0 beta", true}, Caso{"2.0-rc.1+x", true},
                          Caso{"2.0/../../x", false}, Caso{"..", false}, Caso{"a/b", false}}) {
        SCOPED_TRACE(c.version);
        QFile::remove(u() + QStringLiteral("/actualizador.log"));
        QFile::remove(u() + QStringLiteral("/disponible.json"));
        publicar(QString::fromUtf8(c.version), hacerPaquete(kArchivos));
        EXPECT_EQ(correr(QStringLiteral("consultar")), c.valida ? 0 : 1);
        const auto d = leerJSON(u() + QStringLiteral("/disponible.json"));
        EXPECT_EQ(d.has_value(), c.valida);
        if (c.valida && d)
            EXPECT_EQ(d->value(QStringLiteral("version")).toString(), QString::fromUtf8(c.version));
        else
            EXPECT_TRUE(log().endsWith(QStringLiteral("no se pudo leer latest.json\n")));
    }
}

TEST_F(Comprobar, NadaSeEscribeAtravesDeUnEnlace)
{
    const QStringList nombres = {QStringLiteral("ZorvPlayer-2.0.tar.gz"), QStringLiteral("disponible.json"),
                                 QStringLiteral("pendiente.json"), QStringLiteral("actualizador.log")};
    const QByteArray bueno = hacerPaquete(kArchivos);
    for (const bool firmaBuena : {false, true}) {
        SCOPED_TRACE(firmaBuena);
        QDir(u()).removeRecursively();
        QDir().mkpath(u());
        for (const QString& n : nombres) {
            ASSERT_TRUE(escribirArchivo(datos.path() + QStringLiteral("/fuera-") + n, "original"));
            ASSERT_TRUE(QFile::link(datos.path() + QStringLiteral("/fuera-") + n, u() + QLatin1Char('/') + n));
        }
        const QString sha = sha256Hex(bueno);
        publicar(QStringLiteral("2.0"), bueno,
                 {{QStringLiteral("url"), web.url(QString()) + QStringLiteral("/p.tar.gz")},
                  {QStringLiteral("sha256"), sha},
                  {QStringLiteral("sig"), firmar(firmaBuena ? sha.toUtf8() : QByteArray("otro"))}});
        EXPECT_EQ(correr(QStringLiteral("comprobar")), firmaBuena ? 0 : 1);
        for (const QString& n : nombres)
            EXPECT_EQ(leerArchivo(datos.path() + QStringLiteral("/fuera-") + n), "original") << n.toStdString();
        const QFileInfo p(u() + QStringLiteral("/ZorvPlayer-2.0.tar.gz"));
        EXPECT_EQ(p.exists() && !p.isSymLink(), firmaBuena);
        EXPECT_FALSE(log().isEmpty());
    }
}

TEST_F(Comprobar, UnPendienteSinSuPaqueteSePreparaOtraVez)
{
    const QByteArray bueno = hacerPaquete(kArchivos);
    publicar(QStringLiteral("2.0"), bueno);
    ASSERT_TRUE(escribirArchivo(u() + QStringLiteral("/ZorvPlayer-1.5.tar.gz"), "viejo"));
    ASSERT_TRUE(escribirArchivo(u() + QStringLiteral("/ZorvPlayer-1.4.tar.gz"), "viejo"));
    const QString p = u() + QStringLiteral("/ZorvPlayer-2.0.tar.gz");
    // A package that went missing, or was cut short, after it had been prepared.
    for (const QByteArray& resto : {QByteArray(), bueno.left(100)}) {
        escribirJSON({{QStringLiteral("version"), QStringLiteral("2.0")}, {QStringLiteral("dmg"), p}},
                     u() + QStringLiteral("/pendiente.json"));
        QFile::remove(p);
        if (!resto.isEmpty())
            escribirArchivo(p, resto);
        EXPECT_EQ(correr(QStringLiteral("comprobar")), 0);
        EXPECT_EQ(leerArchivo(p), bueno);
        EXPECT_TRUE(log().endsWith(QStringLiteral("2.0 verificada y preparada\n")));
    }
    EXPECT_EQ(QDir(u()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("tar.gz")),
              QStringList{QStringLiteral("ZorvPlayer-2.0.tar.gz")});
}

TEST(ActualizadorPrograma, MarcaSubmodoDesconocidoYHttpEnUnaVersionReal)
{
    QTemporaryDir d;
    EXPECT_EQ(correr({QStringLiteral("actualizador"), QStringLiteral("otro"), QString(),
                      QStringLiteral("1.0"), d.path()})
                  .estado,
              64);
    // The release program talks only https: a plain http server is never trusted.
    ServidorWeb web;
    web.poner(QStringLiteral("latest.json"), "{\"version\":\"9\"}");
    EXPECT_EQ(correr({QStringLiteral("actualizador"), QStringLiteral("consultar"), web.url(QString()),
                      QStringLiteral("1.0"), d.path()})
                  .estado,
              1);
    QFile(d.path() + QStringLiteral("/sin-actualizar")).open(QIODevice::WriteOnly);
    for (const char* sub : {"consultar", "comprobar", "aplicar", "otro"})
        EXPECT_EQ(correr({QStringLiteral("actualizador"), QString::fromLatin1(sub), web.url(QString()),
                          QStringLiteral("1.0"), d.path()})
                      .estado,
                  0);
}

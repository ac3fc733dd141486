// The maker's tool end to end: a folder published with it and served over https is
// found, prepared and installed by the updater; one signed with another key is not.
#include "actualizador/actualizador.h"
#include "apoyo/servidor_web.h"
#include "apoyo_actualizador.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

class Publicar : public EscenarioAplicar {};

} // namespace

TEST_F(Publicar, LoPublicadoSeInstalaYOtraClaveNo)
{
    OpcionesWeb https;
    https.https = true;
    ServidorWeb web(https);
    ASSERT_TRUE(web.listo()) << web.error().toStdString();
    const QString app = raiz.path() + QStringLiteral("/AppDir");
    ASSERT_TRUE(escribirArchivo(app + QStringLiteral("/AppRun"), "#!/bin/sh\n")
                && escribirArchivo(app + QStringLiteral("/usr/lib/libz.so.1"), "z") && QDir().mkpath(app + QStringLiteral("/vacia")));
    ASSERT_TRUE(QFile::link(QStringLiteral("libz.so.1"), app + QStringLiteral("/usr/lib/libz.so")));
    sh(QStringLiteral("chmod 755 '%1/AppRun'").arg(app));
    const auto publicar = [&](const QString& version, const QString& clave) {
        return QProcess::execute(QStringLiteral(ZORV_PUBLICAR), {app, version, clave, web.raiz(), web.url(QString())});
    };
    const auto paso = [&](const char* sub) {
        OpcionesActualizador o;
        o.argumentos = {QString::fromLatin1(sub), web.url(QString()), QStringLiteral("1.0"), datos};
        o.app = a;
        o.certificados = web.carpeta() + QStringLiteral("/cert.pem");
        return correrActualizador(o);
    };
    ASSERT_EQ(publicar(QStringLiteral("2.0"), QStringLiteral(ZORV_CLAVE_PRUEBAS)), 0);
    EXPECT_EQ(paso("consultar"), 0);
    EXPECT_TRUE(log().endsWith(QStringLiteral("pendiente de que el usuario acepte\n"))) << log().toStdString();
    EXPECT_EQ(paso("comprobar"), 0);
    EXPECT_EQ(paso("aplicar"), 0);
    EXPECT_TRUE(log().endsWith(QStringLiteral("[aplicar] aplicada 2.0\n"))) << log().toStdString();
    EXPECT_EQ(leerArchivo(a + QStringLiteral("/usr/lib/libz.so")), "z");
    EXPECT_EQ(QFile::symLinkTarget(a + QStringLiteral("/usr/lib/libz.so")), a + QStringLiteral("/usr/lib/libz.so.1"));

    // A link out of the folder would be refused by the updater: the tool refuses it first.
    ASSERT_TRUE(QFile::link(QStringLiteral("../../../etc"), app + QStringLiteral("/usr/fuera")));
    EXPECT_EQ(publicar(QStringLiteral("3.0"), QStringLiteral(ZORV_CLAVE_PRUEBAS)), 1);
    QFile::remove(app + QStringLiteral("/usr/fuera"));
    const QString otra = raiz.path() + QStringLiteral("/otra.pem");
    ASSERT_EQ(sh(QStringLiteral("openssl genrsa -out '%1' 2048 2>/dev/null").arg(otra)), 0);
    ASSERT_EQ(publicar(QStringLiteral("3.0"), otra), 0);
    EXPECT_EQ(paso("comprobar"), 1);
    EXPECT_TRUE(log().endsWith(QStringLiteral("firma ZORV NO válida, descartado\n"))) << log().toStdString();
}

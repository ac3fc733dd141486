#include "comun/json.h"

#include "apoyo/programa.h"
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

} // namespace

TEST(Json, soloUnObjetoEnLaRaizEsUnDocumento)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath("a.json");
    ASSERT_TRUE(escribirArchivo(ruta, "[1,2]"));
    EXPECT_FALSE(leerJSON(ruta));
    ASSERT_TRUE(escribirArchivo(ruta, "{\"a\":"));
    EXPECT_FALSE(leerJSON(ruta));
    ASSERT_TRUE(escribirArchivo(ruta, ""));
    EXPECT_FALSE(leerJSON(ruta));
    EXPECT_FALSE(leerJSON(dir.filePath("no-existe.json")));
    EXPECT_FALSE(leerJSON(""));
    ASSERT_TRUE(escribirArchivo(ruta, "{\"x\":[1,{\"y\":true}]}"));
    const auto o = leerJSON(ruta);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->value("x").toArray().size(), 2);
}

TEST(Json, escribeCompactoConClavesOrdenadasYCreaLasCarpetas)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath("uno/dos/ajustes.json");
    QJsonObject o;
    o["b"] = 1;
    o["a"] = QJsonObject{{"z", "ñ"}, {"c", QJsonArray{1.5, false}}};
    ASSERT_TRUE(escribirJSON(o, ruta));
    EXPECT_EQ(leerArchivo(ruta), QByteArray("{\"a\":{\"c\":[1.5,false],\"z\":\"ñ\"},\"b\":1}"));
}

TEST(Json, loQueJsonNoPuedeGuardarNoSeEscribeNiPisaElArchivo)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath("a.json");
    ASSERT_TRUE(escribirArchivo(ruta, "{\"viejo\":1}"));
    QJsonObject o;
    o["n"] = std::nan("");
    EXPECT_FALSE(escribirJSON(o, ruta));
    o["n"] = QJsonArray{HUGE_VAL};
    EXPECT_FALSE(escribirJSON(o, ruta));
    EXPECT_EQ(leerArchivo(ruta), QByteArray("{\"viejo\":1}"));
    EXPECT_FALSE(escribirJSON(QJsonObject{{"a", 1}}, ""));
}

TEST(Json, unaEscrituraInterrumpidaDejaElArchivoViejoOElNuevo)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath("ajustes.json");
    // Two documents large enough that writing one takes several system calls.
    QJsonObject grande;
    QJsonObject otro;
    for (int i = 0; i < 20000; ++i) {
        grande[QString::number(i)] = QStringLiteral("valor-%1").arg(i);
        otro[QString::number(i)] = i;
    }
    ASSERT_TRUE(escribirJSON(grande, ruta));
    for (int intento = 0; intento < 12; ++intento) {
        const pid_t hijo = ::fork();
        ASSERT_GE(hijo, 0);
        if (hijo == 0) {
            for (int k = 0;; ++k)
                escribirJSON(k % 2 ? grande : otro, ruta);
        }
        ::usleep(static_cast<useconds_t>(20000 + intento * 7919));
        ::kill(hijo, SIGKILL);
        ::waitpid(hijo, nullptr, 0);
        const auto leido = leerJSON(ruta);
        ASSERT_TRUE(leido) << "intento " << intento;
        EXPECT_TRUE(*leido == grande || *leido == otro);
    }
}

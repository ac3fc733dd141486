#include "comun/ejecutar.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

namespace {

bool procesoVivo(const QString& rutaPid)
{
    QFile f(rutaPid);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const pid_t pid = f.readAll().trimmed().toInt();
    return pid > 0 && ::kill(pid, 0) == 0;
}

} // namespace

TEST(Ejecutar, programaInexistenteNoArrancaYVuelveEnseguida)
{
    QElapsedTimer reloj;
    reloj.start();
    const auto r = ejecutar("/no/existe/programa", {});
    EXPECT_EQ(r.estado, -1);
    EXPECT_TRUE(r.salida.isEmpty());
    EXPECT_LT(reloj.elapsed(), 2000);
}

TEST(Ejecutar, elNombreSueltoNoSeBuscaEnElPath)
{
    QTemporaryDir dir;
    const QString previo = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const auto r = ejecutar("sh", {"-c", "echo hola"});
    QDir::setCurrent(previo);
    EXPECT_EQ(r.estado, -1);
}

TEST(Ejecutar, devuelveElEstadoYLaSalidaDelPrograma)
{
    const auto r = ejecutar("/bin/sh", {"-c", "printf 'años\\n'; echo error >&2; exit 3"});
    EXPECT_EQ(r.estado, 3);
    EXPECT_EQ(r.salida, QStringLiteral("años\n"));
}

TEST(Ejecutar, salidaQueNoEsUtf8QuedaVacia)
{
    const auto r = ejecutar("/bin/sh", {"-c", "printf 'a\\377b'"});
    EXPECT_EQ(r.estado, 0);
    EXPECT_TRUE(r.salida.isEmpty());
}

TEST(Ejecutar, salidaDeMasDeUnMegaLlegaEntera)
{
    const auto r = ejecutar("/bin/sh", {"-c", "yes 0123456789abcdef | head -c 3000000"});
    ASSERT_EQ(r.estado, 0);
    ASSERT_EQ(r.salida.size(), 3000000);
    EXPECT_TRUE(r.salida.startsWith("0123456789abcdef\n0123"));
    EXPECT_EQ(r.salida.count(QLatin1Char('\n')), 3000000 / 17);
}

TEST(Ejecutar, elLimiteTerminaAlProgramaYDevuelveMenosDos)
{
    QTemporaryDir dir;
    const QString pid = dir.filePath("pid");
    QElapsedTimer reloj;
    reloj.start();
    const auto r = ejecutar("/bin/sh", {"-c", "echo $$ > " + pid + "; echo algo; exec sleep 5"}, 1.0);
    const qint64 ms = reloj.elapsed();
    EXPECT_EQ(r.estado, -2);
    EXPECT_TRUE(r.salida.isEmpty());
    EXPECT_GE(ms, 950);
    EXPECT_LE(ms, 1500); // about 1.0-1.1 s; the margin is for a loaded CI machine
    EXPECT_FALSE(procesoVivo(pid));
}

TEST(Ejecutar, unHijoQueIgnoraSigtermNoCuelgaAlLlamador)
{
    QTemporaryDir dir;
    const QString pid = dir.filePath("pid");
    QElapsedTimer reloj;
    reloj.start();
    const auto r = ejecutar("/bin/sh", {"-c", "trap '' TERM; echo $$ > " + pid + "; while :; do sleep 0.1; done"}, 0.5);
    EXPECT_EQ(r.estado, -2);
    EXPECT_LT(reloj.elapsed(), 10000);
    EXPECT_FALSE(procesoVivo(pid));
}

TEST(Ejecutar, sinLimiteEsperaLoQueHagaFalta)
{
    const auto r = ejecutar("/bin/sh", {"-c", "sleep 0.3; echo fin"});
    EXPECT_EQ(r.estado, 0);
    EXPECT_EQ(r.salida, "fin\n");
}

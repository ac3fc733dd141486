#include "comun/ejecutar.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <optional>

namespace {

// A process that has ended but not been reaped yet (a zombie) counts as gone.
bool procesoVivo(const QString& rutaPid)
{
    QFile f(rutaPid);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const pid_t pid = f.readAll().trimmed().toInt();
    if (pid <= 0 || ::kill(pid, 0) != 0)
        return false;
    QFile estado(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!estado.open(QIODevice::ReadOnly))
        return false;
    const QByteArray linea = estado.readAll();
    const qsizetype cierre = linea.lastIndexOf(')');
    return cierre < 0 || linea.mid(cierre + 2, 1) != "Z";
}

// A process that was killed may still be finishing its exit for a moment after its
// output closed; one that survived would still be there after this.
bool terminaPronto(const QString& rutaPid)
{
    QElapsedTimer reloj;
    reloj.start();
    while (procesoVivo(rutaPid)) {
        if (reloj.elapsed() > 2000)
            return false;
        QThread::msleep(10);
    }
    return true;
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

TEST(Ejecutar, losHijosDelProgramaCuentanParaLaSalidaYParaElLimite)
{
    struct Caso {
        const char* nombre;
        const char* guion; // PID stands for the file that receives the grandchild's id
        std::optional<double> limite;
        int estado;
        const char* salida;
    };
    const Caso casos[] = {
        {"un nieto escribe después de que el hijo termine", "(sleep 0.3; echo tarde) & echo pronto",
         std::nullopt, 0, "pronto\ntarde\n"},
        {"lo mismo con un límite holgado", "(sleep 0.3; echo tarde) & echo pronto", 20.0, 0,
         "pronto\ntarde\n"},
        {"un nieto que sigue vivo al llegar el límite", "sleep 30 & echo $! > PID; wait", 0.5, -2, ""},
        {"el hijo terminó pero su nieto retiene la salida", "sleep 30 & echo $! > PID; exit 0", 0.5, -2,
         ""},
        {"un nieto que cierra la salida y se queda no hace esperar",
         "sleep 30 >/dev/null & echo $! > PID; echo fin", 20.0, 0, "fin\n"},
    };
    for (const Caso& k : casos) {
        QTemporaryDir dir;
        const QString pid = dir.filePath(QStringLiteral("pid"));
        const QString guion = QString::fromUtf8(k.guion).replace(QStringLiteral("PID"), pid);
        QElapsedTimer reloj;
        reloj.start();
        const auto r = ejecutar(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), guion}, k.limite);
        EXPECT_EQ(r.estado, k.estado) << k.nombre;
        EXPECT_EQ(r.salida, QString::fromUtf8(k.salida)) << k.nombre;
        EXPECT_LT(reloj.elapsed(), 15000) << k.nombre;
        if (k.estado == -2)
            EXPECT_TRUE(terminaPronto(pid)) << k.nombre << ": the grandchild outlived the limit";
        else if (QFile::exists(pid)) {
            // Left alone when the run ended on its own; tidy up after the test.
            EXPECT_TRUE(procesoVivo(pid)) << k.nombre;
            QFile f(pid);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            ::kill(f.readAll().trimmed().toInt(), SIGKILL);
        }
    }
}

#include "actualizador/actualizador.h"
#include "apoyo_actualizador.h"
#include "comun/json.h"

#include "apoyo/programa.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QUuid>
#include <gtest/gtest.h>

namespace {

class Aplicar : public ::testing::Test {
protected:
    void SetUp() override
    {
        a = raiz.path() + QStringLiteral("/opt/ZorvPlayer");
        QDir().mkpath(a);
        QFile f(a + QStringLiteral("/version"));
        f.open(QIODevice::WriteOnly);
        f.write("1.0");
        marca = raiz.path() + QStringLiteral("/reabierto");
    }

    QString u() const { return raiz.path() + QStringLiteral("/datos/update"); }
    QString p() const { return u() + QStringLiteral("/ZorvPlayer-2.0.tar.gz"); }
    QString log() const { return QString::fromUtf8(leerArchivo(u() + QStringLiteral("/actualizador.log"))); }

    QMap<QString, QByteArray> archivos() const
    {
        return {{QStringLiteral("AppRun"),
                 (QStringLiteral("#!/bin/sh\ntouch '") + marca + QStringLiteral("'\n")).toUtf8()},
                {QStringLiteral("version"), "2.0"},
                {QStringLiteral("usr/lib/libz.so"), "biblioteca"}};
    }

    void preparar(const QByteArray& paquete)
    {
        QDir().mkpath(u());
        QFile f(p());
        f.open(QIODevice::WriteOnly);
        f.write(paquete);
        escribirJSON({{QStringLiteral("version"), QStringLiteral("2.0")}, {QStringLiteral("dmg"), p()}},
                     u() + QStringLiteral("/pendiente.json"));
        escribirJSON({{QStringLiteral("version"), QStringLiteral("2.0")}},
                     u() + QStringLiteral("/disponible.json"));
    }

    int correr(std::function<QString(const QString&, const QString&)> mover = {})
    {
        OpcionesActualizador o;
        o.argumentos = {QStringLiteral("aplicar"), QString(), QStringLiteral("1.0"),
                        raiz.path() + QStringLiteral("/datos")};
        o.app = a;
        o.esperasJugador = 3;
        o.msEntreEsperas = 100;
        o.mover = std::move(mover);
        return correrActualizador(o);
    }

    // A stand-in for the running player: a process whose command line is A + "/usr/bin/mpv".
    void arrancarJugador(QProcess& jugador, const QString& segundos)
    {
        QDir().mkpath(a + QStringLiteral("/usr/bin"));
        QFile::copy(QStringLiteral("/bin/sleep"), a + QStringLiteral("/usr/bin/mpv"));
        jugador.start(a + QStringLiteral("/usr/bin/mpv"), {segundos});
        ASSERT_TRUE(jugador.waitForStarted());
    }

    void esperarSinCambios()
    {
        EXPECT_EQ(leerArchivo(a + QStringLiteral("/version")), "1.0");
        EXPECT_FALSE(QFile::exists(a + QStringLiteral(".nuevo")));
        EXPECT_FALSE(QFile::exists(a + QStringLiteral(".viejo")));
        EXPECT_TRUE(QFile::exists(u() + QStringLiteral("/pendiente.json")));
    }

    QTemporaryDir raiz;
    QString a, marca;
};

} // namespace

TEST_F(Aplicar, NadaPreparadoTerminaSinHacerNada)
{
    EXPECT_EQ(correr(), 0);
    EXPECT_TRUE(log().isEmpty());
}

TEST_F(Aplicar, ElJugadorAbiertoImpideAplicar)
{
    preparar(hacerPaquete(archivos()));
    QProcess jugador;
    ASSERT_NO_FATAL_FAILURE(arrancarJugador(jugador, QStringLiteral("30")));
    EXPECT_EQ(correr(), 1);
    jugador.kill();
    jugador.waitForFinished();
    EXPECT_TRUE(log().endsWith(QStringLiteral("[aplicar] ZorvPlayer sigue abierto, no se aplica\n")));
    EXPECT_TRUE(QFile::exists(u() + QStringLiteral("/pendiente.json")));
}

TEST_F(Aplicar, UnJugadorQueSeCierraDuranteLaEsperaSeSustituye)
{
    preparar(hacerPaquete(archivos()));
    QProcess jugador;
    ASSERT_NO_FATAL_FAILURE(arrancarJugador(jugador, QStringLiteral("0.15")));
    EXPECT_EQ(correr(), 0);
    jugador.waitForFinished();
    EXPECT_EQ(leerArchivo(a + QStringLiteral("/version")), "2.0");
}

TEST_F(Aplicar, ManifiestosFalsosSeRechazanAntesDeCopiar)
{
    OpcionesPaquete digesto, sobra, falta, equipo, firma;
    digesto.falsear = QStringLiteral("version");
    sobra.omitir = QStringLiteral("usr/lib/libz.so");
    falta.sobrante = QStringLiteral("usr/lib/otra.so");
    equipo.equipo = QStringLiteral("TeamIdentifier=AAAAAAAAAA");
    firma.firmarManifiesto = false;
    for (const OpcionesPaquete& op : {digesto, sobra, falta, equipo, firma}) {
        preparar(hacerPaquete(archivos(), op));
        EXPECT_EQ(correr(), 1);
        EXPECT_TRUE(log().endsWith(
            QStringLiteral("el programa nuevo no está firmado por ZORV, no se aplica\n")));
        esperarSinCambios();
    }
}

TEST_F(Aplicar, FalloAlSustituirDevuelveElProgramaAnterior)
{
    preparar(hacerPaquete(archivos()));
    int llamadas = 0;
    const int estado = correr([&](const QString& de, const QString& hacia) {
        if (++llamadas == 2)
            return QStringLiteral("Permission denied");
        return QFile::rename(de, hacia) ? QString() : QStringLiteral("error");
    });
    EXPECT_EQ(estado, 1);
    EXPECT_TRUE(log().endsWith(QStringLiteral("no se pudo sustituir el programa: Permission denied\n")));
    esperarSinCambios();
}

TEST_F(Aplicar, SustituyeLimpiaYReabreSoloSiSePide)
{
    preparar(hacerPaquete(archivos()));
    EXPECT_EQ(correr(), 0);
    EXPECT_EQ(leerArchivo(a + QStringLiteral("/version")), "2.0");
    EXPECT_TRUE(QFile::exists(a + QStringLiteral("/usr/lib/libz.so")));
    EXPECT_FALSE(QFile::exists(a + QStringLiteral(".nuevo")));
    EXPECT_FALSE(QFile::exists(a + QStringLiteral(".viejo")));
    for (const char* n : {"/pendiente.json", "/disponible.json", "/ZorvPlayer-2.0.tar.gz"})
        EXPECT_FALSE(QFile::exists(u() + QLatin1String(n))) << n;
    EXPECT_TRUE(log().endsWith(QStringLiteral("[aplicar] aplicada 2.0\n")));
    QThread::msleep(500);
    EXPECT_FALSE(QFile::exists(marca));

    preparar(hacerPaquete(archivos()));
    QFile(u() + QStringLiteral("/reiniciar")).open(QIODevice::WriteOnly);
    EXPECT_EQ(correr(), 0);
    EXPECT_TRUE(log().endsWith(QStringLiteral("[aplicar] reabierto tras actualizar\n")));
    EXPECT_FALSE(QFile::exists(u() + QStringLiteral("/reiniciar")));
    for (int i = 0; i < 50 && !QFile::exists(marca); ++i)
        QThread::msleep(100);
    EXPECT_TRUE(QFile::exists(marca));
}

TEST_F(Aplicar, PaquetesHostilesNoEscribenFueraYSeRechazan)
{
    const QString fuera = QDir::tempPath() + QStringLiteral("/zorv-hostil-")
        + QUuid::createUuid().toString(QUuid::Id128);
    const QString t = raiz.path() + QStringLiteral("/hostil.tar.gz");
    const QStringList casos = {
        // a member that climbs out of the folder
        QStringLiteral("add('ZorvPlayer/../../../../../../..%1', b'x')").arg(fuera),
        // an absolute member
        QStringLiteral("add('%1', b'x')").arg(fuera),
        // a link out of the tree, then a file written through it
        QStringLiteral("link('ZorvPlayer/l', '%1'); add('ZorvPlayer/l/x', b'x')").arg(QDir::tempPath()),
        QStringLiteral("link('ZorvPlayer/e', '/etc')"),
        // a hard link to a file outside
        QStringLiteral("hard('ZorvPlayer/h', '/etc/passwd')"),
    };
    for (const QString& caso : casos) {
        SCOPED_TRACE(caso.toStdString());
        const QString py = QStringLiteral(
            "import tarfile,io\n"
            "t=tarfile.open('%1','w:gz')\n"
            "def add(n,d):\n i=tarfile.TarInfo(n); i.size=len(d); t.addfile(i,io.BytesIO(d))\n"
            "def link(n,d):\n i=tarfile.TarInfo(n); i.type=tarfile.SYMTYPE; i.linkname=d; t.addfile(i)\n"
            "def hard(n,d):\n i=tarfile.TarInfo(n); i.type=tarfile.LNKTYPE; i.linkname=d; t.addfile(i)\n"
            "add('ZorvPlayer/AppRun', b'x')\n%2\nt.close()\n")
                               .arg(t, caso);
        QFile s(raiz.path() + QStringLiteral("/h.py"));
        s.open(QIODevice::WriteOnly | QIODevice::Truncate);
        s.write(py.toUtf8());
        s.close();
        ASSERT_EQ(sh(QStringLiteral("python3 '%1'").arg(s.fileName())), 0);
        EXPECT_FALSE(paqueteSeguro(t));
        preparar(leerArchivo(t));
        EXPECT_EQ(correr(), 1);
        EXPECT_TRUE(log().endsWith(QStringLiteral("no se pudo abrir el paquete\n")));
        EXPECT_FALSE(QFile::exists(fuera));
        EXPECT_FALSE(QFile::exists(QDir::tempPath() + QStringLiteral("/x")));
        esperarSinCambios();
    }
    EXPECT_TRUE(paqueteSeguro(raiz.path() + QStringLiteral("/no-existe.tar.gz")) == false);
}

#include "actualizador/actualizador.h"
#include "actualizador/paquete.h"
#include "apoyo_actualizador.h"
#include "comun/json.h"

#include "apoyo/programa.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QUuid>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace {

class Aplicar : public EscenarioAplicar {};

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
    OpcionesPaquete digesto, sobra, falta, equipo, firma, vacias;
    digesto.falsear = QStringLiteral("version");
    sobra.omitir = QStringLiteral("usr/lib/libz.so");
    falta.sobrante = QStringLiteral("usr/lib/otra.so");
    equipo.equipo = QStringLiteral("TeamIdentifier=AAAAAAAAAA");
    firma.firmarManifiesto = false;
    // Folders that hold nothing signed: nobody vouched for them or their modes.
    vacias.orden = QStringLiteral("mkdir -m 0777 a; mkdir -m 2777 b; mkdir -m 1777 usr/c");
    for (const OpcionesPaquete& op : {digesto, sobra, falta, equipo, firma, vacias}) {
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
    // A file system that cannot swap in one step, then a second move that fails.
    int llamadas = 0;
    const int estado = correr([&](const QString& de, const QString& hacia, bool intercambio) {
        if (intercambio)
            return EINVAL;
        if (++llamadas == 2)
            return EACCES;
        return QFile::rename(de, hacia) ? 0 : EIO;
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

// Set-id bits and write permission for all in the package never reach the installed
// player; the new tree is on the disk before the swap, and the swap before the update
// is forgotten; what killed runs left in the temporary folder goes, a living run's stays.
TEST_F(Aplicar, ModosLlanosDiscoAseguradoYRestosQuitados)
{
    OpcionesPaquete op;
    op.orden = QStringLiteral("chmod 6777 AppRun; chmod 4755 usr/bin/mpv; chmod 666 usr/lib/libz.so; chmod 2777 usr");
    QMap<QString, QByteArray> f = archivos();
    f.insert(QStringLiteral("usr/bin/mpv"), "mpv");
    preparar(hacerPaquete(f, op));
    const QString muerto = tmp() + QStringLiteral("/zorvplayer-1.5-abcdef"), vivo = tmp() + QStringLiteral("/zorvplayer-1.5-ghijkl");
    ASSERT_TRUE(escribirArchivo(muerto + QStringLiteral("/ZorvPlayer/x"), "x") && escribirArchivo(vivo + QStringLiteral("/x"), "x"));
    const int fd = ::open(QFile::encodeName(vivo).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    const QString traza = raiz.path() + QStringLiteral("/traza");
    EXPECT_EQ(correrAparte({{QStringLiteral("ZORV_INTERCEPTOR_TRAZA"), traza}}).estado, 0) << log().toStdString();
    ::close(fd);
    EXPECT_FALSE(QFile::exists(muerto));
    EXPECT_TRUE(QFile::exists(vivo));
    for (const auto& [ruta, modo] : {std::pair{"", 0755}, {"/AppRun", 0755}, {"/usr/bin/mpv", 0755},
                                     {"/usr/lib/libz.so", 0644}, {"/usr", 0755}, {"/version", 0644}}) {
        struct stat st;
        ASSERT_EQ(::stat(QFile::encodeName(a + QLatin1String(ruta)).constData(), &st), 0) << ruta;
        EXPECT_EQ(st.st_mode & 07777, mode_t(modo)) << ruta;
    }
    const QStringList lineas = QString::fromUtf8(leerArchivo(traza)).split(QLatin1Char('\n'));
    const auto donde = [&](const QString& linea) { return lineas.indexOf(QRegularExpression(linea)); };
    const qsizetype volcado = donde(QStringLiteral("^syncfs .*\\.nuevo-.*/ZorvPlayer$")),
                    cambio = donde(QStringLiteral("^intercambio .* ") + QRegularExpression::escape(a) + QLatin1Char('$')),
                    carpeta = donde(QStringLiteral("^fsync ") + QRegularExpression::escape(QFileInfo(a).path()) + QLatin1Char('$')),
                    olvido = donde(QStringLiteral("^unlink ") + QRegularExpression::escape(u()) + QStringLiteral("/pendiente.json$"));
    EXPECT_TRUE(volcado >= 0 && volcado < cambio && cambio < carpeta && carpeta < olvido)
        << volcado << " " << cambio << " " << carpeta << " " << olvido;
}

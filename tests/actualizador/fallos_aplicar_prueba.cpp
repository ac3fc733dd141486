// Ways "aplicar" could lose or break the installed player, one row each: what was left
// before the run, how the run is made to fail, and what must hold afterwards.
#include "actualizador/actualizador.h"
#include "apoyo_actualizador.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>

namespace {

class FallosAplicar;

struct Fallo {
    const char* nombre;
    std::function<void(FallosAplicar&)> antes;
    // Runs the real program with these variables (the interceptor's rules) when set;
    // in this process otherwise.
    std::function<QMap<QString, QString>(FallosAplicar&)> aparte;
    qint64 limiteArchivo;
    bool usuarioComun;
    int estado;
    const char* finLog;
    std::function<void(FallosAplicar&)> despues;
};

class FallosAplicar : public EscenarioAplicar, public ::testing::WithParamInterface<Fallo> {
public:
    QMap<QString, QByteArray> conRelleno() const
    {
        QMap<QString, QByteArray> r = archivos();
        r.insert(QStringLiteral("relleno"), QByteArray(16 << 20, '\0'));
        return r;
    }
    OpcionesPaquete soloLectura(const QString& version) const
    {
        OpcionesPaquete op;
        op.version = version;
        op.orden = QStringLiteral("chmod 555 usr/lib");
        return op;
    }
    void aplicadaSin(const QString& sobra)
    {
        EXPECT_EQ(leerArchivo(a + QStringLiteral("/version")), "2.0");
        EXPECT_TRUE(QFileInfo(a + QStringLiteral("/AppRun")).isExecutable());
        EXPECT_FALSE(QFile::exists(a + QStringLiteral("/ZorvPlayer")));
        QStringList quedan = junto();
        quedan.removeAll(sobra);
        EXPECT_EQ(quedan, QStringList());
        EXPECT_FALSE(QFile::exists(u() + QStringLiteral("/pendiente.json")));
    }
    QStringList temporales() const
    {
        return QDir(tmp()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QString viejo() const { return a + QStringLiteral(".viejo"); }
};

void PrintTo(const Fallo& f, std::ostream* os)
{
    *os << f.nombre;
}

const Fallo kFallos[] = {
    {"CaidaEntreLosDosMovimientos",
     [](FallosAplicar& f) {
         f.preparar(hacerPaquete(f.archivos()));
         ASSERT_TRUE(QFile::rename(f.a, f.viejo()));
     },
     {}, 0, false, 0, "aplicada 2.0",
     [](FallosAplicar& f) {
         EXPECT_TRUE(f.log().contains(
             QStringLiteral("recuperado el programa anterior tras una sustitución interrumpida")));
         f.aplicadaSin({});
     }},
    {"SegundoMovimientoYVueltaAtrasFallan",
     [](FallosAplicar& f) { f.preparar(hacerPaquete(f.archivos())); },
     [](FallosAplicar& f) {
         return QMap<QString, QString>{{QStringLiteral("ZORV_INTERCEPTOR_SIN_INTERCAMBIO"), QStringLiteral("1")},
                                       {QStringLiteral("ZORV_INTERCEPTOR_FALLA_HACIA"), f.a}};
     },
     0, false, 1, "no se pudo sustituir el programa: Permission denied",
     [](FallosAplicar& f) {
         // The only copy left is the old one beside A; the next run must bring it back.
         EXPECT_EQ(leerArchivo(f.viejo() + QStringLiteral("/version")), "1.0");
         EXPECT_EQ(f.correr(), 0);
         EXPECT_TRUE(f.log().contains(QStringLiteral("recuperado el programa anterior")));
         f.aplicadaSin({});
     }},
    {"RestoDeUnaCopiaAnteriorQueNoSePuedeBorrar",
     [](FallosAplicar& f) {
         f.preparar(hacerPaquete(f.archivos()));
         ASSERT_TRUE(escribirArchivo(f.a + QStringLiteral(".nuevo/resto/x"), "resto"));
     },
     [](FallosAplicar& f) {
         return QMap<QString, QString>{
             {QStringLiteral("ZORV_INTERCEPTOR_NO_BORRAR"), f.a + QStringLiteral(".nuevo/")}};
     },
     0, false, 0, "aplicada 2.0",
     [](FallosAplicar& f) {
         EXPECT_FALSE(QFile::exists(f.a + QStringLiteral("/resto")));
         f.aplicadaSin(QStringLiteral("ZorvPlayer.nuevo"));
     }},
    {"CarpetaDeSoloLecturaEnElPaquete",
     [](FallosAplicar& f) { f.preparar(hacerPaquete(f.archivos(), f.soloLectura(QStringLiteral("2.0")))); },
     {}, 0, true, 0, "aplicada 2.0",
     [](FallosAplicar& f) {
         EXPECT_EQ(f.temporales(), QStringList());
         f.aplicadaSin({});
         // Installed folders are 0755 whatever the package said; one made read-only since
         // in the old copy must not stop replacing it.
         EXPECT_TRUE(QFileInfo(f.a + QStringLiteral("/usr/lib")).permissions() & QFile::WriteOwner);
         sh(QStringLiteral("chmod 555 '%1/usr/lib'").arg(f.a));
         f.preparar(hacerPaquete(f.archivos("3.0"), f.soloLectura(QStringLiteral("3.0"))),
                    QStringLiteral("3.0"));
         EXPECT_EQ(f.correrAparte({}, 0, true).estado, 0);
         EXPECT_TRUE(f.log().endsWith(QStringLiteral("aplicada 3.0\n")));
         EXPECT_EQ(leerArchivo(f.a + QStringLiteral("/version")), "3.0");
         EXPECT_EQ(f.junto(), QStringList());
         EXPECT_EQ(f.temporales(), QStringList());
     }},
    {"PaqueteSinFirmaNoSeDesempaqueta",
     [](FallosAplicar& f) {
         OpcionesPaquete op;
         op.firmarManifiesto = false;
         f.preparar(hacerPaquete(f.conRelleno(), op));
     },
     [](FallosAplicar&) { return QMap<QString, QString>(); }, 1 << 20, false, 1,
     "el programa nuevo no está firmado por ZORV, no se aplica",
     [](FallosAplicar& f) { f.esperarSinCambios(); }},
    {"MiembroQueElManifiestoNoNombraNoSeDesempaqueta",
     [](FallosAplicar& f) {
         OpcionesPaquete op;
         op.omitir = QStringLiteral("relleno");
         f.preparar(hacerPaquete(f.conRelleno(), op));
     },
     [](FallosAplicar&) { return QMap<QString, QString>(); }, 1 << 20, false, 1,
     "el programa nuevo no está firmado por ZORV, no se aplica",
     [](FallosAplicar& f) { f.esperarSinCambios(); }},
    {"PaqueteQueSeExpandeMasDeLoPermitido",
     [](FallosAplicar& f) {
         f.maximoExpandido = 1 << 20;
         f.preparar(hacerPaquete(f.conRelleno()));
     },
     {}, 0, false, 1, "no se pudo abrir el paquete", [](FallosAplicar& f) { f.esperarSinCambios(); }},
    {"ReabrirSinPoderArrancar",
     [](FallosAplicar& f) {
         OpcionesPaquete op;
         op.appRunEjecutable = false;
         f.preparar(hacerPaquete(f.archivos(), op));
         escribirArchivo(f.u() + QStringLiteral("/reiniciar"), {});
     },
     {}, 0, false, 1, "no se pudo reabrir el programa: Permission denied",
     [](FallosAplicar& f) {
         EXPECT_FALSE(f.log().contains(QStringLiteral("reabierto")));
         EXPECT_TRUE(f.log().contains(QStringLiteral("aplicada 2.0")));
         QThread::msleep(300);
         EXPECT_FALSE(QFile::exists(f.marca));
     }},
    {"VersionQueNoEsMasNueva",
     [](FallosAplicar& f) {
         OpcionesPaquete op;
         op.version = QStringLiteral("0.9");
         f.preparar(hacerPaquete(f.archivos("0.9"), op), QStringLiteral("0.9"));
     },
     {}, 0, false, 1, "la versión 0.9 no es más nueva que la instalada (1.0), no se aplica",
     [](FallosAplicar& f) { f.esperarSinCambios(); }},
    {"ManifiestoSinVersion",
     [](FallosAplicar& f) {
         OpcionesPaquete op;
         op.version.clear();
         f.preparar(hacerPaquete(f.archivos(), op), QStringLiteral("9.0"));
     },
     {}, 0, false, 1, "el programa nuevo no está firmado por ZORV, no se aplica",
     [](FallosAplicar& f) { EXPECT_EQ(leerArchivo(f.a + QStringLiteral("/version")), "1.0"); }},
    {"ManifiestoDeOtraVersion",
     [](FallosAplicar& f) {
         OpcionesPaquete op;
         op.version = QStringLiteral("1.5");
         f.preparar(hacerPaquete(f.archivos(), op), QStringLiteral("9.0"));
     },
     {}, 0, false, 1, "el programa nuevo no está firmado por ZORV, no se aplica",
     [](FallosAplicar& f) { EXPECT_EQ(leerArchivo(f.a + QStringLiteral("/version")), "1.0"); }},
};

TEST_P(FallosAplicar, ElProgramaInstaladoSiempreFunciona)
{
    const Fallo& caso = GetParam();
    ASSERT_NO_FATAL_FAILURE(caso.antes(*this));
    if (caso.aparte || caso.usuarioComun) {
        const Corrida c = correrAparte(caso.aparte ? caso.aparte(*this) : QMap<QString, QString>(),
                                       caso.limiteArchivo, caso.usuarioComun);
        EXPECT_EQ(c.estado, caso.estado);
    } else {
        EXPECT_EQ(correr(), caso.estado);
    }
    EXPECT_TRUE(log().endsWith(QString::fromUtf8(caso.finLog) + QLatin1Char('\n'))) << log().toStdString();
    caso.despues(*this);
}

INSTANTIATE_TEST_SUITE_P(Casos, FallosAplicar, ::testing::ValuesIn(kFallos),
                         [](const ::testing::TestParamInfo<Fallo>& i) { return std::string(i.param.nombre); });

// Links between members are normal in application trees; only those the signed
// manifest names, with their target, and that stay inside the tree are taken.
struct Enlaces {
    const char* nombre;
    QMap<QString, QString> enlaces;
    QString omitir, falsear;
    const char* finLog; // empty: applied
};

class EnlacesAplicar : public EscenarioAplicar, public ::testing::WithParamInterface<Enlaces> {};

void PrintTo(const Enlaces& e, std::ostream* os)
{
    *os << e.nombre;
}

const char* const kNoFirmado = "el programa nuevo no está firmado por ZORV, no se aplica";
const char* const kNoAbre = "no se pudo abrir el paquete";
const QMap<QString, QString> kBiblioteca = {{QStringLiteral("usr/lib/libz.so.1"), QStringLiteral("libz.so")},
                                            {QStringLiteral("usr/lib64"), QStringLiteral("lib")},
                                            {QStringLiteral("usr/bin/z"), QStringLiteral("../lib64/libz.so.1")}};

const Enlaces kEnlaces[] = {
    {"DentroDelArbolYFirmados", kBiblioteca, {}, {}, ""},
    {"SinListar", kBiblioteca, QStringLiteral("usr/lib64"), {}, kNoFirmado},
    {"ListadoConOtroDestino", kBiblioteca, {}, QStringLiteral("usr/lib/libz.so.1"), kNoFirmado},
    {"Absoluto", {{QStringLiteral("usr/lib/x"), QStringLiteral("/etc/passwd")}}, {}, {}, kNoAbre},
    {"SaleDelArbol", {{QStringLiteral("usr/lib/x"), QStringLiteral("../../../x")}}, {}, {}, kNoAbre},
    {"SaleAtravesDeOtroEnlace",
     {{QStringLiteral("usr/s"), QStringLiteral("..")}, {QStringLiteral("usr/x"), QStringLiteral("s/../../fuera")}},
     {}, {}, kNoAbre},
    {"Colgante", {{QStringLiteral("usr/lib/x"), QStringLiteral("no-existe")}}, {}, {}, kNoFirmado},
};

TEST_P(EnlacesAplicar, SoloEnlacesFirmadosQueQuedanDentro)
{
    const Enlaces& caso = GetParam();
    OpcionesPaquete op;
    op.enlaces = caso.enlaces;
    op.omitir = caso.omitir;
    op.falsear = caso.falsear;
    preparar(hacerPaquete(archivos(), op));
    if (*caso.finLog) {
        EXPECT_EQ(correr(), 1);
        EXPECT_TRUE(log().endsWith(QString::fromUtf8(caso.finLog) + QLatin1Char('\n'))) << log().toStdString();
        esperarSinCambios();
        return;
    }
    EXPECT_EQ(correr(), 0) << log().toStdString();
    for (auto it = caso.enlaces.begin(); it != caso.enlaces.end(); ++it)
        EXPECT_EQ(QFile::symLinkTarget(a + QLatin1Char('/') + it.key()),
                  QFileInfo(QFileInfo(a + QLatin1Char('/') + it.key()).path() + QLatin1Char('/') + it.value())
                      .absoluteFilePath());
    EXPECT_EQ(leerArchivo(a + QStringLiteral("/usr/bin/z")), "biblioteca");
}

INSTANTIATE_TEST_SUITE_P(Casos, EnlacesAplicar, ::testing::ValuesIn(kEnlaces),
                         [](const ::testing::TestParamInfo<Enlaces>& i) { return std::string(i.param.nombre); });

// Two "aplicar" started together: the first is held just before its swap while the
// second runs from start to end.
class DosAplicar : public EscenarioAplicar {};

TEST_F(DosAplicar, UnaSolaEjecucionALaVez)
{
    preparar(hacerPaquete(archivos()));
    const QString senal = raiz.path() + QStringLiteral("/en-pausa");
    QProcess primero;
    iniciarAparte(primero, {{QStringLiteral("ZORV_INTERCEPTOR_PAUSA"), a},
                            {QStringLiteral("ZORV_INTERCEPTOR_SENAL"), senal}});
    ASSERT_TRUE(primero.waitForStarted());
    for (int i = 0; i < 1200 && !QFile::exists(senal) && primero.state() == QProcess::Running; ++i)
        QThread::msleep(50);
    ASSERT_TRUE(QFile::exists(senal)) << log().toStdString();

    // Another data folder, the same player: the lock beside the player stops it.
    datos = raiz.path() + QStringLiteral("/otros");
    preparar(hacerPaquete(archivos()));
    EXPECT_EQ(correrAparte().estado, 1);
    EXPECT_TRUE(log().endsWith(QStringLiteral("otra actualización en curso, no se hace nada\n")))
        << log().toStdString();
    datos = raiz.path() + QStringLiteral("/datos");
    EXPECT_EQ(correrAparte().estado, 1);
    EXPECT_TRUE(log().endsWith(QStringLiteral("otra actualización en curso, no se hace nada\n")))
        << log().toStdString();
    EXPECT_EQ(leerArchivo(a + QStringLiteral("/version")), "1.0");

    QFile::remove(senal);
    ASSERT_TRUE(primero.waitForFinished(120000));
    EXPECT_EQ(primero.exitCode(), 0);
    EXPECT_TRUE(log().endsWith(QStringLiteral("aplicada 2.0\n"))) << log().toStdString();
    EXPECT_EQ(leerArchivo(a + QStringLiteral("/version")), "2.0");
    EXPECT_TRUE(QFile::exists(a + QStringLiteral("/AppRun")));
    EXPECT_FALSE(QFile::exists(a + QStringLiteral("/ZorvPlayer")));
    EXPECT_EQ(junto(), QStringList());
}

} // namespace

#include "apoyo_actualizador.h"

#include "actualizador/actualizador.h"
#include "comun/json.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/resource.h>
#include <unistd.h>

int sh(const QString& orden)
{
    QProcess p;
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), orden});
    p.waitForFinished(60000);
    return p.exitCode();
}

QString sha256Hex(const QByteArray& datos)
{
    return QString::fromLatin1(QCryptographicHash::hash(datos, QCryptographicHash::Sha256).toHex());
}

QString firmar(const QByteArray& mensaje)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/openssl"),
            {QStringLiteral("dgst"), QStringLiteral("-sha256"), QStringLiteral("-sign"),
             QStringLiteral(ZORV_CLAVE_PRUEBAS)});
    p.write(mensaje);
    p.closeWriteChannel();
    p.waitForFinished(30000);
    return QString::fromLatin1(p.readAllStandardOutput().toHex());
}

QByteArray hacerPaquete(const QMap<QString, QByteArray>& archivos, const OpcionesPaquete& op)
{
    QTemporaryDir t;
    const QString n = t.path() + QStringLiteral("/ZorvPlayer");
    QByteArray manifiesto;
    const auto linea = [&](const QString& digesto, const QString& entrada) {
        manifiesto += (digesto + QStringLiteral("  ") + entrada + QLatin1Char('\n')).toUtf8();
    };
    for (auto it = archivos.begin(); it != archivos.end(); ++it) {
        escribirArchivo(n + QLatin1Char('/') + it.key(), it.value());
        if (it.key() != op.omitir)
            linea(it.key() == op.falsear ? sha256Hex("otra cosa") : sha256Hex(it.value()), it.key());
    }
    for (auto it = op.enlaces.begin(); it != op.enlaces.end(); ++it) {
        const QString ruta = n + QLatin1Char('/') + it.key();
        QDir().mkpath(QFileInfo(ruta).path());
        QFile::link(it.value(), ruta);
        const QString destino = it.key() == op.falsear ? QStringLiteral("otro") : it.value();
        if (it.key() != op.omitir)
            linea(sha256Hex(destino.toUtf8()), it.key() + QStringLiteral(" -> ") + destino);
    }
    if (!op.sobrante.isEmpty())
        linea(sha256Hex("x"), op.sobrante);
    manifiesto += (op.equipo + QLatin1Char('\n')).toUtf8();
    if (!op.version.isEmpty())
        manifiesto += (QStringLiteral("Version=") + op.version + QLatin1Char('\n')).toUtf8();
    escribirArchivo(n + QStringLiteral("/.firma/manifiesto"), manifiesto);
    escribirArchivo(n + QStringLiteral("/.firma/manifiesto.sig"),
             (op.firmarManifiesto ? firmar(manifiesto) : firmar("otro")).toLatin1());
    if (op.appRunEjecutable)
        sh(QStringLiteral("chmod +x '%1/AppRun' 2>/dev/null").arg(n));
    if (!op.orden.isEmpty())
        sh(QStringLiteral("cd '%1' && %2").arg(n, op.orden));
    sh(QStringLiteral("cd '%1' && tar -czf paquete.tar.gz ZorvPlayer; chmod -R u+w ZorvPlayer").arg(t.path()));
    return leerArchivo(t.path() + QStringLiteral("/paquete.tar.gz"));
}

void EscenarioAplicar::SetUp()
{
    a = raiz.path() + QStringLiteral("/opt/ZorvPlayer");
    datos = raiz.path() + QStringLiteral("/datos");
    ASSERT_TRUE(escribirArchivo(a + QStringLiteral("/version"), "1.0"));
    ASSERT_TRUE(QDir().mkpath(tmp()));
    marca = raiz.path() + QStringLiteral("/reabierto");
}

QString EscenarioAplicar::log() const
{
    return QString::fromUtf8(leerArchivo(u() + QStringLiteral("/actualizador.log")));
}

QMap<QString, QByteArray> EscenarioAplicar::archivos(const QByteArray& version) const
{
    return {{QStringLiteral("AppRun"),
             (QStringLiteral("#!/bin/sh\ntouch '") + marca + QStringLiteral("'\n")).toUtf8()},
            {QStringLiteral("version"), version},
            {QStringLiteral("usr/lib/libz.so"), "biblioteca"}};
}

void EscenarioAplicar::preparar(const QByteArray& paquete, const QString& version)
{
    ASSERT_TRUE(escribirArchivo(p(version), paquete));
    escribirJSON({{QStringLiteral("version"), version}, {QStringLiteral("dmg"), p(version)}},
                 u() + QStringLiteral("/pendiente.json"));
    escribirJSON({{QStringLiteral("version"), version}}, u() + QStringLiteral("/disponible.json"));
}

int EscenarioAplicar::correr(std::function<int(const QString&, const QString&, bool)> mover)
{
    OpcionesActualizador o;
    o.argumentos = {QStringLiteral("aplicar"), QString(), QStringLiteral("1.0"), datos};
    o.app = a;
    o.esperasJugador = 3;
    o.msEntreEsperas = 100;
    o.mover = std::move(mover);
    if (maximoExpandido > 0)
        o.maximoExpandido = maximoExpandido;
    return correrActualizador(o);
}

void EscenarioAplicar::configurarAparte(QProcess& proceso, const QMap<QString, QString>& entorno)
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("ZORV_APP"), a);
    e.insert(QStringLiteral("TMPDIR"), tmp());
    // Without rules the interceptor lets every call through.
    e.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(ZORV_INTERCEPTOR));
    for (auto it = entorno.begin(); it != entorno.end(); ++it)
        e.insert(it.key(), it.value());
    proceso.setProcessEnvironment(e);
    proceso.setStandardInputFile(QProcess::nullDevice());
    proceso.setArguments({QStringLiteral("actualizador"), QStringLiteral("aplicar"), QString(),
                          QStringLiteral("1.0"), datos});
    proceso.setProgram(rutaPrograma());
}

void EscenarioAplicar::iniciarAparte(QProcess& proceso, const QMap<QString, QString>& entorno)
{
    configurarAparte(proceso, entorno);
    proceso.start();
}

Corrida EscenarioAplicar::correrAparte(const QMap<QString, QString>& entorno, qint64 limiteArchivo,
                                       bool usuarioComun)
{
    QProcess proceso;
    if (limiteArchivo > 0) {
        proceso.setChildProcessModifier([limiteArchivo] {
            const rlimit r{static_cast<rlim_t>(limiteArchivo), static_cast<rlim_t>(limiteArchivo)};
            setrlimit(RLIMIT_FSIZE, &r);
        });
    }
    if (usuarioComun && geteuid() == 0) {
        // Permissions mean nothing to root: the run that needs them becomes nobody.
        sh(QStringLiteral("chown -R 65534:65534 '%1'").arg(raiz.path()));
        configurarAparte(proceso, entorno);
        proceso.setArguments(QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                         QStringLiteral("--clear-groups"), rutaPrograma()}
                             + proceso.arguments());
        proceso.setProgram(QStringLiteral("/usr/bin/setpriv"));
        proceso.start();
    } else {
        iniciarAparte(proceso, entorno);
    }
    Corrida c;
    if (!proceso.waitForStarted(10000) || !proceso.waitForFinished(120000))
        return c;
    c.estado = proceso.exitStatus() == QProcess::NormalExit ? proceso.exitCode() : -1;
    c.salida = proceso.readAllStandardOutput();
    c.errores = proceso.readAllStandardError();
    return c;
}

void EscenarioAplicar::arrancarJugador(QProcess& jugador, const QString& segundos)
{
    QDir().mkpath(a + QStringLiteral("/usr/bin"));
    QFile::copy(QStringLiteral("/bin/sleep"), a + QStringLiteral("/usr/bin/mpv"));
    jugador.start(a + QStringLiteral("/usr/bin/mpv"), {segundos});
    ASSERT_TRUE(jugador.waitForStarted());
}

void EscenarioAplicar::esperarSinCambios()
{
    EXPECT_EQ(leerArchivo(a + QStringLiteral("/version")), "1.0");
    EXPECT_EQ(junto(), QStringList());
    EXPECT_TRUE(QFile::exists(u() + QStringLiteral("/pendiente.json")));
}

QStringList EscenarioAplicar::junto() const
{
    QStringList r = QDir(QFileInfo(a).path())
                        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    r.removeAll(QFileInfo(a).fileName());
    r.removeAll(QStringLiteral(".") + QFileInfo(a).fileName() + QStringLiteral(".bloqueo"));
    return r;
}

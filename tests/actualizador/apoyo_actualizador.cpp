#include "apoyo_actualizador.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QThread>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int puertoLibre()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t l = sizeof a;
    int puerto = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0
        && ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &l) == 0)
        puerto = ntohs(a.sin_port);
    ::close(s);
    return puerto;
}

bool escucha(int puerto)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(puerto));
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

void escribir(const QString& ruta, const QByteArray& datos)
{
    QDir().mkpath(ruta.section(QLatin1Char('/'), 0, -2));
    QFile f(ruta);
    f.open(QIODevice::WriteOnly);
    f.write(datos);
}

} // namespace

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

ServidorWeb::ServidorWeb()
{
    for (int intento = 0; intento < 5 && puerto_ == 0; ++intento) {
        const int puerto = puertoLibre();
        QFile c(conf_.path() + QStringLiteral("/lighttpd.conf"));
        c.open(QIODevice::WriteOnly | QIODevice::Truncate);
        c.write(QStringLiteral("server.document-root = \"%1\"\nserver.bind = \"127.0.0.1\"\n"
                               "server.port = %2\nserver.errorlog = \"%3/error.log\"\n"
                               "server.stat-cache-engine = \"disable\"\n")
                    .arg(docs_.path())
                    .arg(puerto)
                    .arg(conf_.path())
                    .toUtf8());
        c.close();
        proceso_.start(QStringLiteral("/usr/sbin/lighttpd"),
                       {QStringLiteral("-D"), QStringLiteral("-f"), c.fileName()});
        proceso_.waitForStarted(10000);
        for (int i = 0; i < 50 && proceso_.state() == QProcess::Running; ++i) {
            if (escucha(puerto)) {
                puerto_ = puerto;
                break;
            }
            QThread::msleep(100);
        }
        if (puerto_ == 0) {
            proceso_.kill();
            proceso_.waitForFinished(5000);
        }
    }
}

ServidorWeb::~ServidorWeb()
{
    proceso_.terminate();
    if (!proceso_.waitForFinished(5000)) {
        proceso_.kill();
        proceso_.waitForFinished(5000);
    }
}

QString ServidorWeb::base() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(puerto_);
}

void ServidorWeb::poner(const QString& nombre, const QByteArray& datos)
{
    escribir(docs_.path() + QLatin1Char('/') + nombre, datos);
}

QByteArray hacerPaquete(const QMap<QString, QByteArray>& archivos, const OpcionesPaquete& op)
{
    QTemporaryDir t;
    const QString n = t.path() + QStringLiteral("/ZorvPlayer");
    QByteArray manifiesto;
    for (auto it = archivos.begin(); it != archivos.end(); ++it) {
        escribir(n + QLatin1Char('/') + it.key(), it.value());
        if (it.key() == op.omitir)
            continue;
        const QString digesto = it.key() == op.falsear ? sha256Hex("otra cosa") : sha256Hex(it.value());
        manifiesto += (digesto + QStringLiteral("  ") + it.key() + QLatin1Char('\n')).toUtf8();
    }
    if (!op.sobrante.isEmpty())
        manifiesto += (sha256Hex("x") + QStringLiteral("  ") + op.sobrante + QLatin1Char('\n')).toUtf8();
    manifiesto += (op.equipo + QLatin1Char('\n')).toUtf8();
    escribir(n + QStringLiteral("/.firma/manifiesto"), manifiesto);
    escribir(n + QStringLiteral("/.firma/manifiesto.sig"),
             (op.firmarManifiesto ? firmar(manifiesto) : firmar("otro")).toLatin1());
    sh(QStringLiteral("chmod +x '%1/AppRun' 2>/dev/null; cd '%2' && tar -czf paquete.tar.gz ZorvPlayer")
           .arg(n, t.path()));
    QFile f(t.path() + QStringLiteral("/paquete.tar.gz"));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

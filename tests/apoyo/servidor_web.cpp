#include "apoyo/servidor_web.h"

#include "apoyo/espacio_red.h"
#include "apoyo/programa.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

int puertoLibre() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t largo = sizeof a;
    int puerto = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &largo) == 0)
        puerto = ntohs(a.sin_port);
    close(fd);
    return puerto;
}

QString ServidorWeb::lineaDigest(const QString& usuario, const QString& reino, const QString& clave) {
    const QByteArray h = QCryptographicHash::hash((usuario + ':' + reino + ':' + clave).toUtf8(),
                                                  QCryptographicHash::Md5).toHex();
    return usuario + ':' + reino + ':' + QString::fromLatin1(h);
}

namespace {

bool aceptaConexion(const QString& direccion, int puerto) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(puerto));
    inet_pton(AF_INET, direccion.toLatin1().constData(), &a.sin_addr);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

}  // namespace

bool ServidorWeb::certificado() {
    const QString d = dir.path();
    const int r = orden(QStringLiteral("openssl"),
                        {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                         QStringLiteral("rsa:2048"), QStringLiteral("-nodes"),
                         QStringLiteral("-keyout"), d + QStringLiteral("/clave.pem"),
                         QStringLiteral("-out"), d + QStringLiteral("/cert.pem"),
                         QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                         QStringLiteral("/CN=zorv-prueba"), QStringLiteral("-addext"),
                         QStringLiteral("subjectAltName=IP:") + op.direccion},
                        60000);
    if (r != 0) return false;
    QFile c(d + QStringLiteral("/cert.pem")), k(d + QStringLiteral("/clave.pem")),
        pem(d + QStringLiteral("/servidor.pem"));
    if (!c.open(QIODevice::ReadOnly) || !k.open(QIODevice::ReadOnly) ||
        !pem.open(QIODevice::WriteOnly))
        return false;
    pem.write(c.readAll() + k.readAll());
    return true;
}

ServidorWeb::ServidorWeb(OpcionesWeb opciones) : op(std::move(opciones)) {
    if (!dir.isValid()) return;
    if (op.puerto == 0) op.puerto = op.espacio.isEmpty() ? puertoLibre() : 80;
    QDir().mkpath(raiz());
    if (op.https && !certificado()) {
        fallo = QStringLiteral("no se pudo hacer el certificado");
        return;
    }
    QString conf;
    conf += QStringLiteral("server.document-root = \"%1\"\n").arg(raiz());
    conf += QStringLiteral("server.bind = \"%1\"\nserver.port = %2\n").arg(op.direccion).arg(op.puerto);
    conf += QStringLiteral("server.errorlog = \"%1/error.log\"\n").arg(dir.path());
    // Tests replace files between requests; a cached stat would serve the old length.
    conf += QStringLiteral("server.stat-cache-engine = \"disable\"\n");
    // lighttpd holds back its answer to a wrong password by seconds; tests try many.
    conf += QStringLiteral("server.feature-flags += (\"auth.delay-invalid-creds\" => \"disable\")\n");
    conf += QStringLiteral(
        "server.modules = (\"mod_access\", \"mod_auth\", \"mod_authn_file\", \"mod_setenv\", "
        "\"mod_rewrite\", \"mod_redirect\", \"mod_cgi\"%1)\n")
                .arg(op.https ? QStringLiteral(", \"mod_openssl\"") : QString());
    conf += QStringLiteral("mimetype.assign = (\"\" => \"application/octet-stream\")\n");
    conf += QStringLiteral("index-file.names = (\"index.html\")\n");
    conf += QStringLiteral("cgi.assign = (\".cgi\" => \"/bin/sh\")\n");
    if (!op.etiqueta.isEmpty()) conf += QStringLiteral("server.tag = \"%1\"\n").arg(op.etiqueta);
    if (op.https)
        conf += QStringLiteral("ssl.engine = \"enable\"\nssl.pemfile = \"%1/servidor.pem\"\n")
                    .arg(dir.path());
    conf += QString(op.extra).replace(QStringLiteral("%CARPETA%"), dir.path()) + '\n';
    QFile f(dir.path() + QStringLiteral("/lighttpd.conf"));
    if (!f.open(QIODevice::WriteOnly) || f.write(conf.toUtf8()) < 0) return;
    f.close();

    QStringList args{QStringLiteral("-D"), QStringLiteral("-f"), f.fileName()};
    QString programa = QStringLiteral("lighttpd");
    if (!op.espacio.isEmpty()) {
        args = EspacioRed::dentro(op.espacio, QStringList{programa} + args);
        programa = QStringLiteral("ip");
    }
    proceso = std::make_unique<QProcess>();
    proceso->setProcessChannelMode(QProcess::MergedChannels);
    proceso->start(programa, args);
    bien = proceso->waitForStarted(5000) && esperarAceptando();
    if (!bien) fallo = QStringLiteral("lighttpd no arrancó: ") + QString::fromUtf8(proceso->readAll());
}

bool ServidorWeb::esperarAceptando() {
    QDeadlineTimer limite(10000);
    while (!limite.hasExpired()) {
        if (proceso->state() != QProcess::Running) return false;
        bool acepta = false;
        if (op.espacio.isEmpty()) acepta = aceptaConexion(op.direccion, op.puerto);
        else enEspacio(op.espacio, [&] { acepta = aceptaConexion(op.direccion, op.puerto); });
        if (acepta) return true;
        QThread::msleep(20);
    }
    return false;
}

ServidorWeb::~ServidorWeb() {
    if (!proceso) return;
    proceso->terminate();
    if (!proceso->waitForFinished(5000)) {
        proceso->kill();
        proceso->waitForFinished(2000);
    }
}

QString ServidorWeb::url(const QString& ruta) const {
    return QStringLiteral("%1://%2:%3%4")
        .arg(op.https ? QStringLiteral("https") : QStringLiteral("http"), op.direccion)
        .arg(op.puerto)
        .arg(ruta);
}

void ServidorWeb::poner(const QString& nombre, const QByteArray& datos) const {
    escribirArchivo(raiz() + '/' + nombre, datos);
}

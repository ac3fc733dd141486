#include "grabadores/ftp.h"

#include "comun/ejecutar.h"
#include "grabadores/descargas.h"
#include "grabadores/extensiones.h"
#include "grabadores/identificar.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

#include <algorithm>
#include <climits>
#include <csignal>

namespace {

const QString CURL = QStringLiteral("/usr/bin/curl");

// The root and at most five levels of folders below it.
constexpr int PROFUNDIDAD_MAXIMA = 5;
// curl gives up after 20 s by itself; this only guards against a curl that hangs.
constexpr int LIMITE_LISTADO_MS = 25000;

const QRegularExpression LINEA_UNIX(
    QStringLiteral(R"(^([\-dl])\S+\s+\d+\s+\S+\s+\S+\s+(\d+)\s+(\w+\s+\d+\s+[\d:]+)\s+(.+)$)"),
    QRegularExpression::DotMatchesEverythingOption);
const QRegularExpression LINEA_DOS(
    QStringLiteral(R"(^(\d\d-\d\d-\d\d\s+\d\d:\d\d[AP]M)\s+(<DIR>|\d+)\s+(.+)$)"),
    QRegularExpression::DotMatchesEverythingOption);

// A value in curl's configuration syntax: in double quotes, with backslash escapes.
QString citado(const QString& valor)
{
    QString r = QStringLiteral("\"");
    for (const QChar c : valor) {
        switch (c.unicode()) {
        case '\\': r += QStringLiteral("\\\\"); break;
        case '"': r += QStringLiteral("\\\""); break;
        case '\n': r += QStringLiteral("\\n"); break;
        case '\r': r += QStringLiteral("\\r"); break;
        case '\t': r += QStringLiteral("\\t"); break;
        default: r += c;
        }
    }
    return r + QLatin1Char('"');
}

// What curl reads on its standard input: the address with the credentials in it,
// percent-encoded. Anything on the command line can be read by every local user, and
// curl's "user" option would split a user name that holds ":".
QByteArray configuracion(const Origen& origen, const QString& ruta)
{
    const QString credenciales = QString::fromLatin1(QUrl::toPercentEncoding(origen.usuario)) +
                                 QLatin1Char(':') +
                                 QString::fromLatin1(QUrl::toPercentEncoding(origen.clave)) +
                                 QLatin1Char('@');
    QString url = urlFTP(origen, ruta);
    url.insert(QStringLiteral("ftp://").size(), credenciales);
    return (QStringLiteral("url = ") + citado(url) + QLatin1Char('\n')).toUtf8();
}

// Starts curl with its configuration on standard input.
bool arrancarCurl(QProcess& curl, const QStringList& args, const QByteArray& config)
{
    curl.setProgram(CURL);
    curl.setArguments(QStringList{QStringLiteral("-K"), QStringLiteral("-")} + args);
    curl.setStandardErrorFile(QProcess::nullDevice());
    // A download can run for hours: it must not go on if the window's process dies.
    acabaConEsteProceso(curl, SIGTERM);
    curl.start();
    if (!curl.waitForStarted(-1))
        return false;
    curl.write(config);
    curl.waitForBytesWritten(-1);
    curl.closeWriteChannel();
    return true;
}

int estadoFinal(const QProcess& proceso)
{
    if (proceso.exitStatus() == QProcess::CrashExit)
        return proceso.exitCode() != 0 ? proceso.exitCode() : -1;
    return proceso.exitCode();
}

// The listing of one folder, or nothing when curl failed or took too long.
std::optional<QByteArray> listado(const Origen& origen, const QString& ruta)
{
    QProcess curl;
    const QStringList args{QStringLiteral("-s"), QStringLiteral("--max-time"),
                           QStringLiteral("20")};
    if (!arrancarCurl(curl, args, configuracion(origen, ruta)))
        return std::nullopt;
    if (!curl.waitForFinished(LIMITE_LISTADO_MS)) {
        curl.kill();
        curl.waitForFinished(-1);
        return std::nullopt;
    }
    if (estadoFinal(curl) != 0)
        return std::nullopt;
    return curl.readAllStandardOutput();
}

} // namespace

QList<EntradaFTP> leerListadoFTP(const QByteArray& listado)
{
    QList<EntradaFTP> r;
    qsizetype inicio = 0;
    for (qsizetype i = 0; i <= listado.size(); ++i) {
        if (i < listado.size() && listado[i] != '\n' && listado[i] != '\r')
            continue;
        // Lines that are valid UTF-8: one odd name hides only its own line, not the folder.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString linea = utf8.decode(listado.mid(inicio, i - inicio));
        inicio = i + 1;
        if (utf8.hasError() || linea.trimmed().isEmpty())
            continue;
        if (const auto m = LINEA_UNIX.match(linea); m.hasMatch()) {
            const bool carpeta = m.captured(1) == QLatin1String("d");
            r << EntradaFTP{carpeta, m.captured(4), carpeta ? QString() : m.captured(2)};
        } else if (const auto d = LINEA_DOS.match(linea); d.hasMatch()) {
            const bool carpeta = d.captured(2) == QLatin1String("<DIR>");
            r << EntradaFTP{carpeta, d.captured(3), carpeta ? QString() : d.captured(2)};
        }
    }
    return r;
}

FicheroPtr ficheroFTP(const EntradaFTP& entrada, const QString& carpeta, const OrigenPtr& origen)
{
    if (entrada.carpeta || !esGrabacion(entrada.nombre))
        return nullptr;
    bool cabe = false;
    const qlonglong tamano = entrada.tamano.toLongLong(&cabe);
    const QString completa = carpeta + entrada.nombre;
    // The server's own text names the file on our disk: it must stay one file name there,
    // while the path keeps it exactly as the server knows it.
    return std::make_shared<Fichero>(componenteSeguro(entrada.nombre), std::nullopt,
                                     cabe ? tamano : 0, completa, origen, completa);
}

namespace {

void recorre(const OrigenPtr& origen, const QString& ruta, int profundidad,
             QList<FicheroPtr>& resultado)
{
    if (profundidad > PROFUNDIDAD_MAXIMA)
        return;
    const std::optional<QByteArray> bytes = listado(*origen, ruta);
    if (!bytes)
        return;
    for (const EntradaFTP& e : leerListadoFTP(*bytes)) {
        if (e.carpeta) {
            if (e.nombre != QLatin1String(".") && e.nombre != QLatin1String(".."))
                recorre(origen, ruta + e.nombre + QLatin1Char('/'), profundidad + 1, resultado);
        } else if (FicheroPtr f = ficheroFTP(e, ruta, origen)) {
            resultado << f;
        }
    }
}

} // namespace

QString urlFTP(const Origen& origen, const QString& ruta)
{
    // The characters a URL path may hold as they are; everything else is escaped.
    const QByteArray camino = QUrl::toPercentEncoding(ruta, "!$&'()*+,;=:@/");
    const int puerto = puertoFTP(origen);
    const QString anfitrion = puerto == 21 ? origen.ip : origen.ip + QLatin1Char(':') + QString::number(puerto);
    return QStringLiteral("ftp://") + anfitrion + QString::fromLatin1(camino);
}

QList<FicheroPtr> listarFTP(const OrigenPtr& origen)
{
    QList<FicheroPtr> resultado;
    recorre(origen, QStringLiteral("/"), 0, resultado);
    return resultado;
}

void descargarFTP(const Fichero& fichero, const QString& salida,
                  const std::function<void(int)>& progreso)
{
    QProcess curl;
    curl.setStandardOutputFile(QProcess::nullDevice());
    const QStringList args{QStringLiteral("-s"), QStringLiteral("--max-time"),
                           QStringLiteral("21600"), QStringLiteral("-o"), salida};
    if (!arrancarCurl(curl, args, configuracion(*fichero.origen, fichero.dato)))
        throw ErrorCamara(QStringLiteral("no se pudo ejecutar curl"));
    while (!curl.waitForFinished(500)) {
        if (curl.state() == QProcess::NotRunning)
            break;
        const QFileInfo actual(salida);
        if (fichero.tamano > 0 && progreso && actual.exists()) {
            const qint64 pct = actual.size() * 100 / fichero.tamano;
            progreso(int(std::min<qint64>(pct, INT_MAX)));
        }
    }
    const int estado = estadoFinal(curl);
    if (estado != 0) {
        QFile::remove(salida);
        throw ErrorCamara(QStringLiteral("el FTP no dejó descargar (curl %1)").arg(estado));
    }
}

#include "grabadores/ftp.h"

#include "comun/ejecutar.h"
#include "comun/nombres.h"
#include "grabadores/descargas.h"
#include "grabadores/extensiones.h"
#include "grabadores/unidades.h"
#include "grabadores/identificar.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>

namespace {

using Reloj = std::chrono::steady_clock;

const QString CURL = QStringLiteral("/usr/bin/curl");

// The root and at most five levels of folders below it.
constexpr int PROFUNDIDAD_MAXIMA = 5;
// curl's own limit for one folder's listing.
constexpr int LIMITE_LISTADO_S = 20;
// Folders remembered from one listing to be walked later, and links to folders followed
// in one walk: a hostile server could name millions.
constexpr int MAXIMO_CARPETAS = 5000;
constexpr int MAXIMO_ENLACES = 100;
// No listing line is longer; a server that sends one is not listing files.
constexpr qsizetype LINEA_MAXIMA = 64 * 1024;

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

// Starts curl with its configuration on standard input. The address it is given carries
// the password: no configuration file of the user's (-q, which must come first) and no
// proxy from the environment may send it anywhere but to the device.
bool arrancarCurl(QProcess& curl, const QStringList& args, const QByteArray& config, int inactividadS)
{
    curl.setProgram(CURL);
    curl.setArguments(QStringList{QStringLiteral("-q"), QStringLiteral("-K"), QStringLiteral("-"),
                                  QStringLiteral("--noproxy"), QStringLiteral("*"),
                                  QStringLiteral("--connect-timeout"), QString::number(inactividadS),
                                  QStringLiteral("--speed-limit"), QStringLiteral("1"),
                                  QStringLiteral("--speed-time"), QString::number(inactividadS)} +
                      args);
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

// "/a/b/" for a link's target seen from the folder `carpeta`, "." and ".." resolved.
QString destinoDeEnlace(const QString& carpeta, const QString& enlace)
{
    const QString completo = enlace.startsWith(QLatin1Char('/')) ? enlace : carpeta + enlace;
    QStringList partes;
    for (const QString& p : completo.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (p == QLatin1String(".."))
            partes.removeLast();
        else if (p != QLatin1String("."))
            partes << p;
    }
    return partes.isEmpty() ? QStringLiteral("/")
                            : QLatin1Char('/') + partes.join(QLatin1Char('/')) + QLatin1Char('/');
}

// One step of a folder: a recording, or a folder (or a link that may be one) to walk.
struct Paso {
    FicheroPtr fichero;
    QString carpeta;
    QString enlace;
};

class Recorrido {
public:
    Recorrido(const OrigenPtr& origen, std::stop_token parar, int limiteS)
        : origen(origen), parar(std::move(parar)), limite(Reloj::now() + std::chrono::seconds(limiteS)),
          limiteS(limiteS)
    {
    }

    // Depth-first in listing order: a sub-folder's recordings come before the entries
    // that follow it in its parent.
    void carpeta(const QString& ruta, int profundidad, bool porEnlace)
    {
        QList<Paso> pasos;
        QByteArray huella;
        if (profundidad > PROFUNDIDAD_MAXIMA || !corte.isEmpty() || !leer(ruta, pasos, huella))
            return;
        // Through a link, the same listing again is a folder already read (a loop).
        if (porEnlace && listados.contains(huella))
            return;
        listados.insert(huella);
        for (const Paso& p : pasos) {
            if (p.fichero) {
                lista << p.fichero;
                continue;
            }
            const QString sub = ruta + p.carpeta + QLatin1Char('/');
            if (p.enlace.isEmpty()) {
                if (!visitadas.contains(sub)) {
                    visitadas.insert(sub);
                    carpeta(sub, profundidad + 1, false);
                }
                continue;
            }
            // A link into the folders above (".", "..") or to one already walked adds
            // nothing but the same recordings under other names.
            const QString destino = destinoDeEnlace(ruta, p.enlace);
            if (ruta.startsWith(destino) || visitadas.contains(destino) || enlaces >= MAXIMO_ENLACES)
                continue;
            ++enlaces;
            visitadas << destino << sub;
            carpeta(sub, profundidad + 1, true);
        }
    }

    QList<FicheroPtr> lista;
    QString corte;

private:
    bool seguir()
    {
        if (parar.stop_requested())
            corte = QStringLiteral("listado interrumpido");
        else if (Reloj::now() > limite)
            corte = QStringLiteral("el servidor se dejó de recorrer a los %1 s").arg(limiteS);
        else if (guardadas >= MAXIMO_GRABACIONES)
            corte = QStringLiteral("listado parado en %1 grabaciones").arg(MAXIMO_GRABACIONES);
        return corte.isEmpty();
    }

    void anotar(const EntradaFTP& e, const QString& ruta, QList<Paso>& pasos, qsizetype& carpetas)
    {
        if (FicheroPtr f = ficheroFTP(e, ruta, origen)) {
            pasos << Paso{f, {}, {}};
            ++guardadas;
        } else if ((e.carpeta || !e.enlace.isEmpty()) && e.nombre != QLatin1String(".") &&
                   e.nombre != QLatin1String("..") && carpetas++ < MAXIMO_CARPETAS) {
            pasos << Paso{nullptr, e.nombre, e.enlace};
        }
    }

    // One folder's listing, read line by line as curl hands it over: only what is kept
    // (recordings, folders) stays in memory. False when curl failed or the walk stopped.
    bool leer(const QString& ruta, QList<Paso>& pasos, QByteArray& huella)
    {
        if (!seguir())
            return false;
        const auto quedan = std::chrono::duration_cast<std::chrono::seconds>(limite - Reloj::now()).count();
        QProcess curl;
        const QStringList args{QStringLiteral("-s"), QStringLiteral("--max-time"),
                               QString::number(std::clamp<qint64>(quedan, 1, LIMITE_LISTADO_S))};
        if (!arrancarCurl(curl, args, configuracion(*origen, ruta), INACTIVIDAD_FTP_S))
            return false;
        QCryptographicHash resumen(QCryptographicHash::Sha256);
        QByteArray resto;
        bool cortada = false;  // the rest of a line too long to be an entry is skipped
        qsizetype carpetas = 0;
        const auto linea = [&](const QByteArray& l) {
            if (!cortada)
                if (const auto e = leerLineaFTP(l))
                    anotar(*e, ruta, pasos, carpetas);
            cortada = false;
        };
        for (bool vivo = true; vivo;) {
            vivo = curl.waitForReadyRead(100) || curl.state() != QProcess::NotRunning;
            const QByteArray llegado = curl.readAllStandardOutput();
            resumen.addData(llegado);
            resto += llegado;
            qsizetype inicio = 0;
            for (qsizetype fin; (fin = resto.indexOf('\n', inicio)) >= 0; inicio = fin + 1)
                linea(resto.mid(inicio, fin - inicio));
            resto.remove(0, inicio);
            if (resto.size() > LINEA_MAXIMA) {
                resto.clear();
                cortada = true;
            }
            if (!vivo && !resto.isEmpty())
                linea(resto);
            if (!seguir()) {
                curl.kill();
                curl.waitForFinished(-1);
                return true;  // what a folder cut short had listed is still a find
            }
        }
        huella = resumen.result();
        return curl.exitStatus() == QProcess::NormalExit && estadoFinal(curl) == 0;
    }

    OrigenPtr origen;
    std::stop_token parar;
    Reloj::time_point limite;
    int limiteS;
    QSet<QString> visitadas;
    QSet<QByteArray> listados;
    int enlaces = 0;
    qsizetype guardadas = 0;
};

} // namespace

std::optional<EntradaFTP> leerLineaFTP(const QByteArray& bytes)
{
    QByteArray b = bytes;
    while (b.endsWith('\r'))
        b.chop(1);
    // Bytes that are not UTF-8 stay as they are: the file can still be asked for by them.
    // The patterns cannot read such a byte's stand-in, so they read a copy where each is one
    // U+FFFD, at the same place, and what they find is taken from the line itself.
    const QString linea = textoDeBytes(b);
    QString legible = linea;
    for (QChar& c : legible)
        if (esByteSuelto(c))
            c = QChar::ReplacementCharacter;
    if (legible.trimmed().isEmpty())
        return std::nullopt;
    const auto trozo = [&](const QRegularExpressionMatch& m, int n) {
        return linea.mid(m.capturedStart(n), m.capturedLength(n));
    };
    if (const auto m = LINEA_UNIX.match(legible); m.hasMatch()) {
        const QString tipo = m.captured(1);
        if (tipo == QLatin1String("l")) {
            const QString texto = trozo(m, 4);
            const qsizetype flecha = texto.indexOf(QLatin1String(" -> "));
            if (flecha > 0)
                return EntradaFTP{false, texto.left(flecha), QString(), texto.mid(flecha + 4)};
        }
        const bool carpeta = tipo == QLatin1String("d");
        return EntradaFTP{carpeta, trozo(m, 4), carpeta ? QString() : m.captured(2), QString()};
    }
    if (const auto d = LINEA_DOS.match(legible); d.hasMatch()) {
        const bool carpeta = d.captured(2) == QLatin1String("<DIR>");
        return EntradaFTP{carpeta, trozo(d, 3), carpeta ? QString() : d.captured(2), QString()};
    }
    return std::nullopt;
}

QList<EntradaFTP> leerListadoFTP(const QByteArray& listado)
{
    QList<EntradaFTP> r;
    for (const QByteArray& linea : listado.split('\n'))
        if (const auto e = leerLineaFTP(linea))
            r << *e;
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

QString urlFTP(const Origen& origen, const QString& ruta)
{
    // The characters a URL path may hold as they are; everything else is escaped, bytes
    // that are not UTF-8 included, as the bytes they are.
    const QByteArray camino = bytesDeTexto(ruta).toPercentEncoding("!$&'()*+,;=:@/");
    const int puerto = puertoFTP(origen);
    const QString anfitrion = puerto == 21 ? origen.ip : origen.ip + QLatin1Char(':') + QString::number(puerto);
    return QStringLiteral("ftp://") + anfitrion + QString::fromLatin1(camino);
}

QList<FicheroPtr> listarFTP(const OrigenPtr& origen, std::stop_token parar, QString* corte, int limiteS)
{
    Recorrido r(origen, std::move(parar), limiteS);
    r.carpeta(QStringLiteral("/"), 0, false);
    if (r.lista.size() > MAXIMO_GRABACIONES)
        r.lista.resize(MAXIMO_GRABACIONES);
    if (corte)
        *corte = r.corte;
    return r.lista;
}

void descargarFTP(const Fichero& fichero, const QString& salida,
                  const std::function<void(int)>& progreso, int inactividadS)
{
    QProcess curl;
    curl.setStandardOutputFile(QProcess::nullDevice());
    const QStringList args{QStringLiteral("-s"), QStringLiteral("--max-time"),
                           QStringLiteral("21600"), QStringLiteral("-o"), salida};
    if (!arrancarCurl(curl, args, configuracion(*fichero.origen, fichero.dato), inactividadS))
        throw ErrorCamara(QStringLiteral("no se pudo ejecutar curl"));
    // curl judges silence by its speed over the last seconds, so a stall after a burst
    // goes unnoticed for a while: the file's own growth tells when the last byte came.
    qint64 visto = -1;
    auto ultimo = Reloj::now();
    bool callado = false;
    while (!curl.waitForFinished(500)) {
        if (curl.state() == QProcess::NotRunning)
            break;
        const QFileInfo actual(salida);
        if (actual.size() != visto) {
            visto = actual.size();
            ultimo = Reloj::now();
        } else if (Reloj::now() - ultimo > std::chrono::seconds(inactividadS)) {
            callado = true;
            curl.kill();
        }
        if (fichero.tamano > 0 && progreso && actual.exists()) {
            const qint64 pct = actual.size() * 100 / fichero.tamano;
            progreso(int(std::min<qint64>(pct, INT_MAX)));
        }
    }
    const int estado = callado ? 28 : estadoFinal(curl);
    if (estado == 28) {
        QFile::remove(salida);
        throw ErrorCamara(QStringLiteral("el FTP dejó de enviar datos durante %1 s (curl 28)").arg(inactividadS));
    }
    if (estado != 0) {
        QFile::remove(salida);
        throw ErrorCamara(QStringLiteral("el FTP no dejó descargar (curl %1)").arg(estado));
    }
    // A server that does not say a file's size lets curl take a transfer it cut for whole.
    exigirTamano(salida, fichero.tamano);
}

#include "camaras/nombres.h"

#include "comun/texto.h"
#include "grabadores/ayudas.h"
#include "grabadores/descargas.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <limits>
#include <vector>

QString unirRuta(const QString& carpeta, const QString& nombre)
{
    if (carpeta.isEmpty() || carpeta.endsWith(QLatin1Char('/')))
        return carpeta + nombre;
    return carpeta + QLatin1Char('/') + nombre;
}

QString componenteSeguro(const QString& nombre, const QString& siVacio)
{
    QString n = limpio(nombre);
    if (n.isEmpty())
        return siVacio;
    // Leading dots would hide the file from the investigator, and "." or ".." alone
    // would climb out of the folder.
    for (int i = 0; i < n.size() && n[i] == QLatin1Char('.'); ++i)
        n[i] = QLatin1Char('-');
    // A drive's file or label may hold control characters; a line break in a path would
    // split it in two on the player's side.
    return componenteSeguro(n, QLatin1Char('-'));
}

QString carpetaCasoDe(const QString& base, const QString& caso)
{
    const QString c = limpio(caso);
    return c.isEmpty() ? base : unirRuta(base, componenteSeguro(c, QStringLiteral("-")));
}

QString destinoDe(const QString& base, const QString& caso)
{
    return unirRuta(carpetaCasoDe(base, caso), QStringLiteral("camaras"));
}

namespace {

// Stem and extension as file browsers see them: a leading dot does not start one.
std::pair<QString, QString> partirNombre(const QString& nombre)
{
    const int punto = int(nombre.lastIndexOf(QLatin1Char('.')));
    if (punto <= 0)
        return {nombre, QString()};
    return {nombre.left(punto), nombre.mid(punto + 1)};
}

} // namespace

QString nombreLibre(const QString& carpeta, const QString& nombre, const QTime& hora)
{
    if (!QFileInfo::exists(unirRuta(carpeta, nombre)))
        return nombre;
    const auto [raiz, extension] = partirNombre(nombre);
    const QString sello = raiz + QLatin1Char('-') + hora.toString(QStringLiteral("HHmmss"));
    const QString cola = extension.isEmpty() ? QString() : QLatin1Char('.') + extension;
    QString candidato = sello + cola;
    for (int n = 2; QFileInfo::exists(unirRuta(carpeta, candidato)); ++n)
        candidato = sello + QLatin1Char('-') + QString::number(n) + cola;
    return candidato;
}

QString conExtension(const QString& nombre, const QString& extension)
{
    return partirNombre(nombre).first + QLatin1Char('.') + extension;
}

QString nombreDirecto(const QString& ip, const QDateTime& ahora)
{
    return QStringLiteral("directo-") + limpio(ip) + QLatin1Char('-')
        + fmt(QStringLiteral("yyyy-MM-dd-HH-mm-ss"), false).texto(ahora) + QStringLiteral(".mp4");
}

int duracionDirecto(const QString& texto)
{
    static const QRegularExpression entero(QStringLiteral("^[+-]?[0-9]+$"));
    if (!entero.match(texto).hasMatch())
        return 60;
    bool cabe = false;
    qlonglong n = texto.toLongLong(&cabe);
    if (!cabe) // more digits than 64 bits hold: only the sign matters
        n = texto.startsWith(QLatin1Char('-')) ? 0 : 3600;
    n = std::min<qlonglong>(n, 3600);
    return n < 6 ? 5 : int(n);
}

std::pair<QString, int> leerDireccion(const QString& texto)
{
    const QList<QStringList> g = grupos(texto, QStringLiteral("^(.+):(\\d+)$"));
    if (g.isEmpty())
        return {texto, 80};
    bool cabe = false;
    const int puerto = g[0][2].toInt(&cabe);
    return {g[0][1], cabe ? puerto : 80};
}

bool familiaConocida(const QString& familia)
{
    static const QStringList conocidas = {QStringLiteral("hikvision"), QStringLiteral("dahua"),
                                          QStringLiteral("vstarcam"), QStringLiteral("ftp")};
    return conocidas.contains(familia);
}

QStringList familiasAProbar(const QString& familia)
{
    if (familiaConocida(familia))
        return {familia};
    return {QStringLiteral("vstarcam"), QStringLiteral("hikvision"), QStringLiteral("dahua"),
            QStringLiteral("ftp")};
}

QList<FicheroPtr> ordenarRecientes(QList<FicheroPtr> ficheros)
{
    // Each date is turned into a number once: comparing local date-times converts
    // zones on every comparison, and a drive can offer 20000 recordings.
    std::vector<std::pair<qint64, FicheroPtr>> claves;
    claves.reserve(size_t(ficheros.size()));
    for (FicheroPtr& f : ficheros)
        claves.emplace_back(f->fecha ? f->fecha->toMSecsSinceEpoch() : std::numeric_limits<qint64>::min(),
                            std::move(f));
    std::stable_sort(claves.begin(), claves.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (qsizetype i = 0; i < ficheros.size(); ++i)
        ficheros[i] = std::move(claves[size_t(i)].second);
    return ficheros;
}

QString textoFilaRed(const Origen& origen)
{
    return origen.ip + QStringLiteral("  ·  ") + origen.familia;
}

QString lineaAyuda(const QString& familia)
{
    if (familia.startsWith(QLatin1String("hikvision")))
        return QStringLiteral("Hikvision/HiLook: usuario y contraseña de la cámara y «Listar» para ver sus grabaciones.");
    if (familia.startsWith(QLatin1String("dahua")))
        return QStringLiteral("Dahua/Imou/EZ-IP: usuario y contraseña de la cámara y «Listar» para ver sus grabaciones.");
    if (familia == QLatin1String("ftp"))
        return QStringLiteral("Servidor FTP: usuario y contraseña y «Listar» para ver los ficheros.");
    if (familia.startsWith(QLatin1String("vstarcam")))
        return QStringLiteral("Cámara «IP CAMERA» (VStarcam/Hi3510): pon usuario y contraseña y «Listar» para ver lo grabado en la tarjeta SD.");
    if (familia == QLatin1String("xiongmai"))
        return QStringLiteral("Cámara/DVR tipo Xiongmai (XMeye, iCSee): listar grabaciones aún no soportado; se puede grabar el directo RTSP.");
    if (familia == QLatin1String("rtsp"))
        return QStringLiteral("Cámara con directo RTSP: pon usuario y contraseña; «Listar» intenta sacar sus grabaciones y, si no, graba el directo.");
    return QStringLiteral("Pon usuario y contraseña y «Listar»: se identifica la cámara y se buscan sus grabaciones (Hikvision, Dahua, VStarcam, FTP). Si no, graba el directo.");
}

QString textoCanal(int numero, const QString& nombre, const QString& sinNombre)
{
    if (numero <= 0)
        return QString();
    if (nombre.isEmpty())
        return sinNombre.arg(numero);
    return QString::number(numero) + QStringLiteral(" · ") + nombre;
}

QString carpetaCanal(int numero)
{
    return QStringLiteral("canal-%1").arg(numero, 2, 10, QLatin1Char('0'));
}

std::optional<QDateTime> leerFechaHora(const QString& texto)
{
    const QString t = texto.simplified();
    for (const char* patron : {"dd/MM/yyyy HH:mm:ss", "dd/MM/yyyy HH:mm"})
        if (const auto f = fmt(QString::fromLatin1(patron), false).fecha(t))
            return f;
    return std::nullopt;
}

QString textoFechaHora(const QDateTime& fecha)
{
    return fmt(QStringLiteral("dd/MM/yyyy HH:mm:ss"), false).texto(fecha);
}

VentanaEscrita leerVentana(const QString& desde, const QString& hasta)
{
    const QString forma = QStringLiteral(" como día/mes/año horas:minutos (los segundos son opcionales).");
    const auto inicio = leerFechaHora(desde);
    if (!inicio)
        return {std::nullopt, QStringLiteral("Escribe el inicio") + forma};
    const auto fin = leerFechaHora(hasta);
    if (!fin)
        return {std::nullopt, QStringLiteral("Escribe el final") + forma};
    if (*inicio >= *fin)
        return {std::nullopt, QStringLiteral("El inicio tiene que ser anterior al final.")};
    return {std::pair{*inicio, *fin}, QString()};
}

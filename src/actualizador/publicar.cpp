#include "actualizador/publicar.h"

#include "actualizador/arbol.h"
#include "actualizador/firma.h"
#include "actualizador/manifiesto.h"
#include "actualizador/paquete.h"
#include "actualizador/ultima.h"
#include "comun/ejecutar.h"
#include "comun/json.h"
#include "comun/sha256.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kRaiz = QStringLiteral("ZorvPlayer");

// RSASSA-PKCS1-v1_5 with SHA-256 of the bytes, as hex text; empty when the key cannot
// be read or is not RSA.
QString firmarHex(const QByteArray& mensaje, const QString& clave)
{
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_file(QFile::encodeName(clave).constData(), "r"),
                                                  BIO_free);
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> llave(
        bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr, EVP_PKEY_free);
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    size_t largo = 0;
    if (!llave || EVP_PKEY_get_base_id(llave.get()) != EVP_PKEY_RSA || !ctx
        || EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha256(), nullptr, llave.get()) != 1
        || EVP_DigestSign(ctx.get(), nullptr, &largo, reinterpret_cast<const unsigned char*>(mensaje.constData()),
                          size_t(mensaje.size()))
            != 1)
        return QString();
    QByteArray firma(qsizetype(largo), '\0');
    if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(firma.data()), &largo,
                       reinterpret_cast<const unsigned char*>(mensaje.constData()), size_t(mensaje.size()))
        != 1)
        return QString();
    return QString::fromLatin1(firma.left(qsizetype(largo)).toHex());
}

// One line per entry in the manifest, and no way to tell a link from a file named
// with an arrow: such names cannot be published.
QString nombreNoPublicable(const QString& relativa)
{
    if (relativa.contains(QLatin1Char('\n')) || relativa.contains(QLatin1Char('\r')))
        return QStringLiteral("un nombre con salto de línea: ");
    if (relativa.contains(QStringLiteral(" -> ")))
        return QStringLiteral("un nombre con \" -> \": ");
    if (relativa.contains(QChar::ReplacementCharacter))
        return QStringLiteral("un nombre que no es UTF-8: ");
    return QString();
}

// Every file and link below n (".firma" aside) into the manifest; the folders seen go
// to `carpetas`. The error text, or empty.
QString recorrer(const QString& n, Manifiesto& m, QStringList& carpetas)
{
    QDirIterator it(n, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString ruta = it.next();
        const QString relativa = QDir(n).relativeFilePath(ruta);
        if (const QString motivo = nombreNoPublicable(relativa); !motivo.isEmpty())
            return QStringLiteral("no se puede publicar ") + motivo + relativa;
        const QByteArray nativa = QFile::encodeName(ruta);
        struct stat st;
        if (::lstat(nativa.constData(), &st) != 0)
            return QStringLiteral("no se puede leer ") + relativa;
        EntradaManifiesto e;
        if (S_ISDIR(st.st_mode)) {
            carpetas << relativa;
            continue;
        } else if (S_ISLNK(st.st_mode)) {
            char texto[4096];
            const ssize_t largo = ::readlink(nativa.constData(), texto, sizeof texto);
            if (largo <= 0 || largo >= ssize_t(sizeof texto))
                return QStringLiteral("no se puede leer el enlace ") + relativa;
            e.enlace = true;
            e.destino = QFile::decodeName(QByteArray(texto, largo));
            if (e.destino.startsWith(QLatin1Char('/')))
                return QStringLiteral("enlace absoluto (el actualizador solo acepta enlaces dentro del programa): ")
                    + relativa;
            e.digesto = digestoEnlace(e.destino);
        } else if (S_ISREG(st.st_mode)) {
            e.digesto = sha256DeArchivo(ruta);
            if (e.digesto.isEmpty())
                return QStringLiteral("no se puede leer ") + relativa;
        } else {
            return QStringLiteral("ni archivo, ni carpeta, ni enlace: ") + relativa;
        }
        m.entradas.insert(relativa, e);
    }
    return QString();
}

// The members of the package, parents before what they hold: the top folder and the
// signature first (the updater reads no further to check it), then the folders
// holding entries and the entries.
QByteArray listaMiembros(const Manifiesto& m)
{
    QStringList nombres;
    for (const QString& c : m.carpetas)
        nombres << kRaiz + QLatin1Char('/') + c;
    for (auto it = m.entradas.keyBegin(); it != m.entradas.keyEnd(); ++it)
        nombres << kRaiz + QLatin1Char('/') + *it;
    nombres.sort();
    nombres = QStringList{kRaiz, kRaiz + QStringLiteral("/.firma"), kRaiz + QStringLiteral("/.firma/manifiesto"),
                          kRaiz + QStringLiteral("/.firma/manifiesto.sig")}
        + nombres;
    QByteArray lista;
    for (const QString& nombre : nombres)
        lista += QFile::encodeName(nombre) + '\0';
    return lista;
}

bool escribir(const QString& ruta, const QByteArray& datos)
{
    QFile f(ruta);
    return f.open(QIODevice::WriteOnly | QIODevice::NewOnly) && f.write(datos) == datos.size() && f.flush();
}

// The manifest and its signature into n, the package packed from the copy in t and
// held against the updater's readers; the error text, or empty.
QString empaquetar(const QString& t, const Manifiesto& m, const QString& clave, QStringList& avisos)
{
    const QString n = t + QLatin1Char('/') + kRaiz;
    const QByteArray texto = textoManifiesto(m);
    if (texto.size() > kMaximoManifiesto)
        return QStringLiteral("el manifiesto pasa del tamaño que el actualizador lee");
    const QString firma = firmarHex(texto, clave);
    if (firma.isEmpty())
        return QStringLiteral("no se pudo firmar con la clave ") + clave + QStringLiteral(" (¿no es RSA en PEM?)");
    if (!firmaValidaDatos(texto, firma))
        avisos << QStringLiteral("la clave no es la de actualización de este programa: sus versiones rechazarán el paquete");
    const QString lista = t + QStringLiteral("/miembros");
    if (!QDir().mkpath(n + QStringLiteral("/.firma")) || !escribir(n + QStringLiteral("/.firma/manifiesto"), texto)
        || !escribir(n + QStringLiteral("/.firma/manifiesto.sig"), firma.toLatin1()) || !normalizarModos(n)
        || !escribir(lista, listaMiembros(m)))
        return QStringLiteral("no se pudo escribir en ") + t;
    const QString p = t + QStringLiteral("/paquete.tar.gz");
    if (ejecutar(QStringLiteral("/usr/bin/tar"),
                 {QStringLiteral("-czf"), p, QStringLiteral("-C"), t, QStringLiteral("--no-recursion"),
                  QStringLiteral("--null"), QStringLiteral("--verbatim-files-from"), QStringLiteral("-T"), lista,
                  QStringLiteral("--owner=0"), QStringLiteral("--group=0"), QStringLiteral("--numeric-owner")})
            .estado
        != 0)
        return QStringLiteral("tar no pudo empaquetar");
    const std::optional<QList<Miembro>> listado = listarPaquete(p);
    if (!listado)
        return QStringLiteral("el actualizador no aceptaría el paquete: un enlace sale de la carpeta del programa o "
                              "pasa por otro enlace");
    if (!listadoCoincide(*listado, m))
        return QStringLiteral("el paquete no coincide con su manifiesto");
    return QString();
}

} // namespace

Publicacion publicar(const QString& appDada, const QString& version, const QString& claveDada,
                     const QString& salidaDada, const QString& direccion)
{
    // tar runs in another folder: every path given must hold from anywhere.
    const QString app = QFileInfo(appDada).absoluteFilePath(), clave = QFileInfo(claveDada).absoluteFilePath(),
                  salida = QFileInfo(salidaDada).absoluteFilePath();
    Publicacion r;
    const QFileInfo appRun(app + QStringLiteral("/AppRun"));
    if (version.isEmpty() || !versionSegura(version) || version.contains(QLatin1Char('\n'))
        || !masNueva(version, QStringLiteral("0")))
        r.error = QStringLiteral("versión no válida: ") + version;
    else if (!appRun.isFile() || !appRun.isExecutable())
        r.error = QStringLiteral("falta AppRun ejecutable en ") + app;
    else if (!QDir().mkpath(salida))
        r.error = QStringLiteral("no se pudo crear ") + salida;
    if (!r.error.isEmpty())
        return r;
    const CarpetaNueva t(salida + QStringLiteral("/.publicar-XXXXXX"));
    const QString n = t.ruta() + QLatin1Char('/') + kRaiz;
    if (!t.valida()
        || ejecutar(QStringLiteral("/bin/cp"), {QStringLiteral("-a"), QStringLiteral("--"), app, n}).estado != 0) {
        r.error = QStringLiteral("no se pudo copiar ") + app;
        return r;
    }
    borrarArbol(n + QStringLiteral("/.firma"));
    Manifiesto m;
    m.equipo = true;
    m.version = version;
    QStringList carpetas;
    r.error = recorrer(n, m, carpetas);
    if (!r.error.isEmpty())
        return r;
    // Read back as the updater will read it; that also names the folders holding entries.
    const std::optional<Manifiesto> leido = leerManifiesto(textoManifiesto(m));
    if (!leido || leido->entradas.size() != m.entradas.size()) {
        r.error = QStringLiteral("el manifiesto no se podría leer de vuelta");
        return r;
    }
    for (const QString& c : carpetas)
        if (!leido->carpetas.contains(c))
            r.avisos << QStringLiteral("carpeta vacía, no se publica (nadie la firmaría): ") + c;
    r.error = empaquetar(t.ruta(), *leido, clave, r.avisos);
    if (!r.error.isEmpty())
        return r;
    const QString nombre = QStringLiteral("ZorvPlayer-") + version + QStringLiteral(".tar.gz");
    r.paquete = salida + QLatin1Char('/') + nombre;
    r.ultima = salida + QStringLiteral("/latest.json");
    const QString sha = sha256DeArchivo(t.ruta() + QStringLiteral("/paquete.tar.gz"));
    const QString firma = firmarHex(sha.toUtf8(), clave);
    QJsonObject ultima = leerJSON(r.ultima).value_or(QJsonObject());
    ultima.insert(QStringLiteral("version"), version);
    ultima.insert(QStringLiteral("linux"),
                  QJsonObject{{QStringLiteral("url"), direccion.isEmpty() ? nombre : direccion + QLatin1Char('/') + nombre},
                              {QStringLiteral("sha256"), sha},
                              {QStringLiteral("sig"), firma}});
    if (sha.isEmpty() || firma.isEmpty()
        || ::rename(QFile::encodeName(t.ruta() + QStringLiteral("/paquete.tar.gz")).constData(),
                    QFile::encodeName(r.paquete).constData())
            != 0
        || !escribirJSON(ultima, r.ultima))
        r.error = QStringLiteral("no se pudo escribir en ") + salida;
    return r;
}

#include "actualizador/actualizador.h"

#include "actualizador/firma.h"
#include "comun/ejecutar.h"
#include "comun/json.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kEquipo = QStringLiteral("TeamIdentifier=Q7X2KM4ZRT");

// Removes a file, a link (never what it points to) or a folder tree.
void borrar(const QString& ruta)
{
    const QFileInfo info(ruta);
    if (info.isDir() && !info.isSymLink())
        QDir(ruta).removeRecursively();
    else
        QFile::remove(ruta);
}

bool jugadorAbierto(const QString& app)
{
    // pgrep reads the pattern as a regular expression: the path must match literally.
    return ejecutar(QStringLiteral("/usr/bin/pgrep"),
                    {QStringLiteral("-f"),
                     QRegularExpression::escape(app + QStringLiteral("/usr/bin/mpv"))})
               .estado
        == 0;
}

} // namespace

std::optional<QHash<QString, QString>> leerManifiesto(const QByteArray& manifiesto)
{
    static const QRegularExpression re(QStringLiteral("^([0-9a-f]{64})  (.+)$"));
    QHash<QString, QString> lista;
    bool equipo = false;
    for (const QString& linea : QString::fromUtf8(manifiesto).split(QLatin1Char('\n'),
                                                                     Qt::SkipEmptyParts)) {
        if (linea == kEquipo) {
            equipo = true;
            continue;
        }
        const QRegularExpressionMatch m = re.match(linea);
        if (!m.hasMatch() || lista.contains(m.captured(2)))
            return std::nullopt;
        lista.insert(m.captured(2), m.captured(1));
    }
    if (!equipo)
        return std::nullopt;
    return lista;
}

namespace {

// Every file below n (links included, .firma excluded) listed once with its digest,
// the team line present and the list signed with the built-in key.
bool manifiestoValido(const QString& n)
{
    QFile fm(n + QStringLiteral("/.firma/manifiesto"));
    QFile fs(n + QStringLiteral("/.firma/manifiesto.sig"));
    if (!fm.open(QIODevice::ReadOnly) || !fs.open(QIODevice::ReadOnly))
        return false;
    const QByteArray manifiesto = fm.readAll();
    if (!firmaValidaDatos(manifiesto, QString::fromLatin1(fs.readAll()).trimmed()))
        return false;
    const std::optional<QHash<QString, QString>> leida = leerManifiesto(manifiesto);
    if (!leida)
        return false;
    const QHash<QString, QString>& lista = *leida;
    const QString raiz = QFileInfo(n).canonicalFilePath();
    QSet<QString> vistos;
    QDirIterator it(n, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString ruta = it.next();
        const QFileInfo info = it.fileInfo();
        const QString rel = QDir(n).relativeFilePath(ruta);
        if (rel == QLatin1String(".firma") || rel.startsWith(QLatin1String(".firma/")))
            continue;
        if (info.isDir() && !info.isSymLink())
            continue;
        // Only regular files inside the tree are read: a fifo would block the reading.
        const QString real = info.canonicalFilePath();
        if (!QFileInfo(real).isFile() || !real.startsWith(raiz + QLatin1Char('/')))
            return false;
        if (!lista.contains(rel) || sha256DeArchivo(real) != lista.value(rel))
            return false;
        vistos.insert(rel);
    }
    return vistos.size() == lista.size();
}

// The new player must not belong to this short-lived process: its own session, not
// waited for, no zombie left behind.
void lanzarSeparado(const QString& programa)
{
    const QByteArray ruta = QFile::encodeName(programa);
    const pid_t hijo = fork();
    if (hijo == 0) {
        setsid();
        if (fork() == 0) {
            const int nulo = ::open("/dev/null", O_RDWR);
            if (nulo >= 0) {
                dup2(nulo, 0);
                dup2(nulo, 1);
                dup2(nulo, 2);
            }
            execl(ruta.constData(), ruta.constData(), static_cast<char*>(nullptr));
            _exit(127);
        }
        _exit(0);
    }
    if (hijo > 0)
        waitpid(hijo, nullptr, 0);
}

QString renombrar(const QString& de, const QString& a)
{
    if (::rename(QFile::encodeName(de).constData(), QFile::encodeName(a).constData()) == 0)
        return QString();
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

int aplicarActualizacion(const OpcionesActualizador& o, const QString& u,
                         const std::function<void(const QString&)>& log)
{
    const QString pendiente = u + QStringLiteral("/pendiente.json");
    const std::optional<QJsonObject> prep = leerJSON(pendiente);
    if (!prep || !prep->value(QStringLiteral("version")).isString()
        || !prep->value(QStringLiteral("dmg")).isString())
        return 0;
    const QString version = prep->value(QStringLiteral("version")).toString();
    const QString p = prep->value(QStringLiteral("dmg")).toString();
    const QString a = o.app;
    if (jugadorAbierto(a)) {
        for (int i = 0; i < o.esperasJugador; ++i) {
            QThread::msleep(static_cast<unsigned long>(o.msEntreEsperas));
            if (!jugadorAbierto(a))
                break;
        }
    }
    if (jugadorAbierto(a)) {
        log(QStringLiteral("ZorvPlayer sigue abierto, no se aplica"));
        return 1;
    }
    // A private folder of our own: a fixed name in the shared temp folder could be
    // planted beforehand by someone else.
    QTemporaryDir m(QDir::tempPath() + QStringLiteral("/zorvplayer-") + QString(version).replace(
                        QLatin1Char('/'), QLatin1Char('-'))
                    + QStringLiteral("-XXXXXX"));
    if (!m.isValid() || !paqueteSeguro(p)
        || ejecutar(QStringLiteral("/usr/bin/tar"),
                    {QStringLiteral("-xzf"), p, QStringLiteral("-C"), m.path(),
                     QStringLiteral("--no-same-owner")},
                    120.0)
                .estado
            != 0) {
        log(QStringLiteral("no se pudo abrir el paquete"));
        return 1;
    }
    const QString n = m.path() + QStringLiteral("/ZorvPlayer");
    if (!manifiestoValido(n)) {
        log(QStringLiteral("el programa nuevo no está firmado por ZORV, no se aplica"));
        return 1;
    }
    const QString nuevo = a + QStringLiteral(".nuevo"), viejo = a + QStringLiteral(".viejo");
    borrar(nuevo);
    borrar(viejo);
    if (ejecutar(QStringLiteral("/bin/cp"), {QStringLiteral("-a"), n, nuevo}, 300.0).estado != 0) {
        borrar(nuevo);
        log(QStringLiteral("no se pudo copiar (¿sin permiso en ") + a + QStringLiteral("?)"));
        return 1;
    }
    const auto mover = o.mover ? o.mover : renombrar;
    QString error = mover(a, viejo);
    if (error.isEmpty())
        error = mover(nuevo, a);
    if (!error.isEmpty()) {
        if (!QFileInfo::exists(a) && QFileInfo::exists(viejo))
            renombrar(viejo, a);
        borrar(nuevo);
        log(QStringLiteral("no se pudo sustituir el programa: ") + error);
        return 1;
    }
    borrar(viejo);
    QFile::remove(pendiente);
    QFile::remove(u + QStringLiteral("/disponible.json"));
    QFile::remove(p);
    log(QStringLiteral("aplicada ") + version);
    if (QFile::exists(u + QStringLiteral("/reiniciar"))) {
        QFile::remove(u + QStringLiteral("/reiniciar"));
        lanzarSeparado(a + QStringLiteral("/AppRun"));
        log(QStringLiteral("reabierto tras actualizar"));
    }
    return 0;
}

#include "grabadores/descargas.h"

#include "grabadores/ayudas.h"
#include "grabadores/modelo.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

QString temporalDescarga(const QString& destino) {
    const qsizetype barra = destino.lastIndexOf(QLatin1Char('/'));
    const qsizetype punto = destino.lastIndexOf(QLatin1Char('.'));
    // A dot that starts the name ("/x/.mp4") or sits in a folder name is not an extension.
    const bool extension = punto > barra + 1;
    const QString t = (extension ? destino.left(punto) : destino) + QStringLiteral(".descarga");
    return t == destino ? destino + QStringLiteral(".descarga") : t;
}

void renombrarDescarga(const QString& temporal, const QString& destino) {
    if (std::rename(QFile::encodeName(temporal).constData(),
                    QFile::encodeName(destino).constData()) == 0)
        return;
    const QString motivo = QString::fromLocal8Bit(std::strerror(errno));
    QFile::remove(temporal);
    throw ErrorCamara(QStringLiteral("no se pudo guardar ") + destino + QStringLiteral(": ") + motivo);
}

bool esControl(QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7f && u <= 0x9f) || u == 0x2028 || u == 0x2029;
}

bool esByteSuelto(QChar c) { return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF; }

QString componenteSeguro(QString nombre, QChar sustituto) {
    // A byte that was not UTF-8 in the device's name cannot be written into a UTF-8 one.
    for (QChar& c : nombre)
        if (esControl(c) || esByteSuelto(c) || c == QLatin1Char('/')) c = sustituto;
    if (nombre.isEmpty() || nombre.startsWith(QLatin1Char('.'))) nombre.prepend(sustituto);
    return nombre;
}

void exigirTamano(const QString& ruta, int64_t esperado) {
    if (esperado <= 0 || QFileInfo(ruta).size() >= esperado) return;
    QFile::remove(ruta);
    throw ErrorCamara(QStringLiteral("la cámara cortó la transferencia antes de terminar"));
}

namespace {

// The text of the first element `nombre`, any case, attributes allowed.
QString elemento(const QString& texto, const QString& nombre) {
    const QRegularExpression e(QStringLiteral("<%1\\b[^>]*>(.*?)</%1\\s*>").arg(nombre),
                               QRegularExpression::CaseInsensitiveOption |
                                   QRegularExpression::DotMatchesEverythingOption);
    return e.match(texto).captured(1);
}

}  // namespace

std::optional<QString> avisoEnLugarDeVideo(const QByteArray& cabeza) {
    qsizetype i = cabeza.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < cabeza.size() && QChar::isSpace(uchar(cabeza[i]))) ++i;
    if (i + 1 >= cabeza.size() || cabeza[i] != '<') return std::nullopt;
    const char c = cabeza[i + 1];
    if (!(c == '?' || c == '!' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return std::nullopt;
    const QString texto = QString::fromUtf8(cabeza.mid(i));
    // Hikvision says what went wrong in statusString and subStatusCode; a page in its title.
    QString dicho = elemento(texto, QStringLiteral("statusString"));
    const QString sub = elemento(texto, QStringLiteral("subStatusCode"));
    if (!sub.isEmpty()) dicho += QStringLiteral(" (") + sub + QLatin1Char(')');
    if (dicho.isEmpty()) dicho = elemento(texto, QStringLiteral("title"));
    if (dicho.isEmpty()) {
        static const QRegularExpression marcas(QStringLiteral("<[^>]*>|<!--.*?-->"),
                                               QRegularExpression::DotMatchesEverythingOption);
        dicho = QString(texto).remove(marcas);
    }
    dicho = htmlDecode(dicho);
    for (QChar& ch : dicho)
        if (esControl(ch)) ch = QLatin1Char(' ');
    dicho = dicho.simplified();
    if (dicho.size() > 200) dicho = dicho.left(200) + QStringLiteral("…");
    return dicho;
}

void rechazarAviso(const QString& ruta) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) return;
    const std::optional<QString> aviso = avisoEnLugarDeVideo(f.read(64 * 1024));
    f.close();
    if (!aviso) return;
    QFile::remove(ruta);
    throw ErrorCamara(aviso->isEmpty()
                          ? QStringLiteral("la cámara envió una página de aviso en lugar de la grabación")
                          : QStringLiteral("la cámara envió un aviso en lugar de la grabación: ") + *aviso);
}

BloqueoParcial::BloqueoParcial(QString r) : ruta(std::move(r)) {
    fd = ::open(QFile::encodeName(ruta).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    tomar();
}

BloqueoParcial::~BloqueoParcial() {
    if (fd >= 0) ::close(fd);
}

void BloqueoParcial::tomar() {
    // Close-on-exec: a child must not keep the lock alive once this process is gone.
    if (fd >= 0) ::flock(fd, LOCK_EX | LOCK_NB);
}

void BloqueoParcial::renovar() {
    struct stat tenido {}, enRuta {};
    const QByteArray nombre = QFile::encodeName(ruta);
    if (::stat(nombre.constData(), &enRuta) != 0) return;
    if (fd >= 0 && ::fstat(fd, &tenido) == 0 && tenido.st_ino == enRuta.st_ino && tenido.st_dev == enRuta.st_dev)
        return;
    if (fd >= 0) ::close(fd);
    fd = ::open(nombre.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    tomar();
}

bool quitarSiAbandonado(const QString& ruta) {
    const QByteArray nombre = QFile::encodeName(ruta);
    const int fd = ::open(nombre.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    // Holding the lock while removing: a writer cannot take the file in between.
    const bool quitado = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                         ::unlink(nombre.constData()) == 0;
    ::close(fd);
    return quitado;
}

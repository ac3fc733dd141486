#include "comun/nombres.h"

#include <QStringDecoder>
#include <dirent.h>
#include <sys/stat.h>

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// Length of the valid UTF-8 sequence at p[0..n), or 0 when it is not one (overlong forms,
// surrogates and values past U+10FFFF included).
int secuenciaUtf8(const unsigned char* p, qsizetype n)
{
    const unsigned c = p[0];
    int largo;
    char32_t cp, minimo;
    if (c >= 0xC2 && c <= 0xDF) {
        largo = 2;
        cp = c & 0x1F;
        minimo = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        largo = 3;
        cp = c & 0x0F;
        minimo = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        largo = 4;
        cp = c & 0x07;
        minimo = 0x10000;
    } else {
        return 0;
    }
    if (n < largo)
        return 0;
    for (int k = 1; k < largo; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    if (cp < minimo || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return largo;
}

bool esEscape(char16_t u)
{
    return u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF;
}

} // namespace

QString textoDeBytes(const QByteArray& bytes)
{
    // A byte-order mark is part of the name, also at the start of a run: the plain
    // UTF-8 conversion would drop it there.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    QString texto;
    texto.reserve(n);
    qsizetype tramo = 0; // start of the valid run not yet appended
    qsizetype i = 0;
    while (i < n) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        if (const int largo = secuenciaUtf8(p + i, n - i)) {
            i += largo;
            continue;
        }
        texto += utf8.decode(QByteArrayView(bytes.constData() + tramo, i - tramo));
        texto += QChar(char16_t(kEscapeBase + p[i]));
        tramo = ++i;
    }
    texto += utf8.decode(QByteArrayView(bytes.constData() + tramo, n - tramo));
    return texto;
}

QByteArray bytesDeTexto(const QString& texto)
{
    QByteArray bytes;
    bytes.reserve(texto.size());
    const QStringView v(texto);
    qsizetype tramo = 0;
    for (qsizetype i = 0; i < v.size(); ++i) {
        const char16_t u = v[i].unicode();
        // A low surrogate right after a high one is half of a real character.
        if (!esEscape(u) || (i > 0 && QChar::isHighSurrogate(v[i - 1].unicode())))
            continue;
        bytes += v.mid(tramo, i - tramo).toUtf8();
        bytes += char(u - kEscapeBase);
        tramo = i + 1;
    }
    bytes += v.mid(tramo).toUtf8();
    return bytes;
}

QStringList nombresEnCarpeta(const QString& carpeta)
{
    QStringList nombres;
    if (carpeta.isEmpty())
        return nombres;
    DIR* dir = ::opendir(bytesDeTexto(carpeta).constData());
    if (!dir)
        return nombres;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray nombre(e->d_name);
        if (nombre != "." && nombre != "..")
            nombres << textoDeBytes(nombre);
    }
    ::closedir(dir);
    return nombres;
}

std::optional<InfoEntrada> infoEntrada(const QString& ruta)
{
    struct stat st;
    if (::stat(bytesDeTexto(ruta).constData(), &st) != 0)
        return std::nullopt;
    InfoEntrada info;
    info.carpeta = S_ISDIR(st.st_mode);
    info.modificada = QDateTime::fromMSecsSinceEpoch(
        qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000, Qt::UTC);
    return info;
}

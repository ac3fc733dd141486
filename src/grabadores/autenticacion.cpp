#include "grabadores/autenticacion.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace {

bool esToken(QChar c) {
    return c.unicode() > 32 && c.unicode() < 127 &&
           !QStringLiteral("()<>@,;:\\\"/[]?={}").contains(c);
}

class Analizador {
public:
    explicit Analizador(const QString& t) : t(t) {}
    bool fin() const { return i >= t.size(); }
    void saltar(bool comas) {
        while (i < t.size() && (t[i] == u' ' || t[i] == u'\t' || (comas && t[i] == u',')))
            ++i;
    }
    QString token() {
        const qsizetype desde = i;
        while (i < t.size() && esToken(t[i])) ++i;
        return t.mid(desde, i - desde);
    }
    bool ver(QChar c) const { return i < t.size() && t[i] == c; }
    void avanzar() { ++i; }
    QString valor() {
        if (!ver(u'"')) return token();
        QString v;
        for (++i; i < t.size() && t[i] != u'"'; ++i) {
            if (t[i] == u'\\' && i + 1 < t.size()) ++i;
            v += t[i];
        }
        ++i;  // the closing quote, or past the end of a cut-off value
        return v;
    }
    // Anything that is neither a token nor a separator: step over it.
    void descartar() { ++i; }

private:
    const QString& t;
    qsizetype i = 0;
};

// A quoted-string for our header. Line breaks and other control bytes a device put in its
// challenge are dropped: echoed, they would start header lines of their own.
QByteArray comillas(const QString& s) {
    QByteArray b;
    for (const char c : s.toUtf8()) {
        if (static_cast<unsigned char>(c) < 32 || c == 127) continue;
        if (c == '\\' || c == '"') b += '\\';
        b += c;
    }
    return '"' + b + '"';
}

}  // namespace

QList<Reto> leerRetos(const QStringList& cabeceras) {
    QList<Reto> retos;
    for (const QString& c : cabeceras) {
        Analizador a(c);
        while (true) {
            a.saltar(true);
            if (a.fin()) break;
            const QString nombre = a.token();
            if (nombre.isEmpty()) {
                a.descartar();
                continue;
            }
            a.saltar(false);
            if (a.ver(u'=') && !retos.isEmpty()) {
                a.avanzar();
                a.saltar(false);
                retos.last().valores.insert(nombre.toLower(), a.valor());
            } else {
                retos.append({nombre.toLower(), {}});
            }
        }
    }
    return retos;
}

std::optional<QByteArray> Autenticador::responder(const QList<Reto>& retos,
                                                  const QByteArray& metodo,
                                                  const QByteArray& uri,
                                                  const QByteArray& cuerpo) {
    for (const QString& algoritmo : {QStringLiteral("sha-256"), QStringLiteral("md5")})
        for (const Reto& r : retos) {
            if (r.esquema != QLatin1String("digest")) continue;
            QString a = r.valores.value(QStringLiteral("algorithm"), QStringLiteral("MD5")).toLower();
            if (a.endsWith(QLatin1String("-sess"))) a.chop(5);
            if (a != algoritmo) continue;
            if (auto h = digest(r, metodo, uri, cuerpo)) return h;
        }
    for (const Reto& r : retos)
        if (r.esquema == QLatin1String("basic"))
            return "Basic " + (usuario + u':' + clave).toUtf8().toBase64();
    return std::nullopt;
}

std::optional<QByteArray> Autenticador::digest(const Reto& r, const QByteArray& metodo,
                                               const QByteArray& uri, const QByteArray& cuerpo) {
    const QString reino = r.valores.value(QStringLiteral("realm"));
    const QString nonce = r.valores.value(QStringLiteral("nonce"));
    if (!r.valores.contains(QStringLiteral("realm")) || nonce.isEmpty()) return std::nullopt;
    const QString algoritmo = r.valores.value(QStringLiteral("algorithm"));
    const bool sha = algoritmo.startsWith(QLatin1String("SHA-256"), Qt::CaseInsensitive);
    const bool sesion = algoritmo.endsWith(QLatin1String("-sess"), Qt::CaseInsensitive);
    auto H = [sha](const QByteArray& b) {
        return QCryptographicHash::hash(b, sha ? QCryptographicHash::Sha256 : QCryptographicHash::Md5)
            .toHex();
    };

    QByteArray qop;
    if (r.valores.contains(QStringLiteral("qop"))) {
        QStringList ofrecidos;
        for (const QString& q : r.valores.value(QStringLiteral("qop")).split(u','))
            ofrecidos << q.trimmed().toLower();
        if (ofrecidos.contains(QLatin1String("auth"))) qop = "auth";
        else if (ofrecidos.contains(QLatin1String("auth-int"))) qop = "auth-int";
        else return std::nullopt;
    }
    if (nonce != ultimoNonce) {
        ultimoNonce = nonce;
        cuenta = 0;
    }
    const QByteArray nc = QByteArray::number(++cuenta, 16).rightJustified(8, '0');
    quint32 azar[4];
    QRandomGenerator::system()->fillRange(azar);
    const QByteArray cnonce = QByteArray(reinterpret_cast<const char*>(azar), sizeof azar).toHex();

    const QByteArray n = nonce.toUtf8();
    QByteArray a1 = H(usuario.toUtf8() + ':' + reino.toUtf8() + ':' + clave.toUtf8());
    if (sesion) a1 = H(a1 + ':' + n + ':' + cnonce);
    QByteArray a2 = metodo + ':' + uri;
    if (qop == "auth-int") a2 += ':' + H(cuerpo);
    const QByteArray respuesta = qop.isEmpty()
                                     ? H(a1 + ':' + n + ':' + H(a2))
                                     : H(a1 + ':' + n + ':' + nc + ':' + cnonce + ':' + qop + ':' + H(a2));

    const bool usuarioOculto =
        r.valores.value(QStringLiteral("userhash")).compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    const QByteArray nombre = usuarioOculto ? H(usuario.toUtf8() + ':' + reino.toUtf8()) : usuario.toUtf8();
    QByteArray h = "Digest username=" + comillas(QString::fromUtf8(nombre)) +
                   ", realm=" + comillas(reino) + ", nonce=" + comillas(nonce) +
                   ", uri=" + comillas(QString::fromUtf8(uri));
    if (!algoritmo.isEmpty()) h += ", algorithm=" + algoritmo.toUtf8();
    h += ", response=\"" + respuesta + '"';
    if (r.valores.contains(QStringLiteral("opaque")))
        h += ", opaque=" + comillas(r.valores.value(QStringLiteral("opaque")));
    if (!qop.isEmpty()) h += ", qop=" + qop + ", nc=" + nc + ", cnonce=\"" + cnonce + '"';
    if (usuarioOculto) h += ", userhash=true";
    return h;
}

#pragma once
// Answers to the web authentication challenges of recorders: digest (MD5 or SHA-256, with
// or without "-sess", qop "auth" or "auth-int") and basic. Built here rather than left to
// the transfer library so that every offer of the user's password is ours to count and to
// refuse: a device that keeps asking gets it twice, and another host never gets it.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

struct Reto {
    QString esquema;                 // lower case: "digest", "basic", ...
    QMap<QString, QString> valores;  // parameter names in lower case, values unquoted
};

// Every challenge in the values of the WWW-Authenticate headers of one response.
QList<Reto> leerRetos(const QStringList& cabeceras);

class Autenticador {
public:
    Autenticador(QString usuario, QString clave)
        : usuario(std::move(usuario)), clave(std::move(clave)) {}

    // The Authorization header value for the best challenge we can answer (digest over
    // basic, SHA-256 over MD5), or absent when none is digest or basic. `uri` is the
    // request target exactly as sent; `cuerpo` only matters for qop "auth-int".
    std::optional<QByteArray> responder(const QList<Reto>& retos, const QByteArray& metodo,
                                        const QByteArray& uri, const QByteArray& cuerpo);

private:
    std::optional<QByteArray> digest(const Reto& r, const QByteArray& metodo,
                                     const QByteArray& uri, const QByteArray& cuerpo);
    QString usuario;
    QString clave;
    QString ultimoNonce;  // the nonce count runs per nonce
    int cuenta = 0;
};

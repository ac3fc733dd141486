#pragma once
// One synchronous web request to a recorder, with digest or basic authentication and an
// optional download straight into a file.
#include "grabadores/modelo.h"
#include "grabadores/reanudar.h"

#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

using Progreso = std::function<void(int)>;

class Http {
public:
    // Runs one request and blocks until it has ended. Throws ErrorCamara.
    // Redirections are followed (ten at most); the credentials follow them only to the
    // host of `url`, whatever the scheme or port, and are offered twice at most. With
    // `soloMismaDireccion` a redirection to another host is not followed at all: its
    // response is the result. With `aFichero`, only a 200 leaves the file behind. With
    // `reanudar` too, the file is the caller's and stays whatever happens: its last bytes
    // below `reanudar->desde` are asked for again with a range and compared, and a 206
    // that matches them is appended (`empalmado`, and `reanudar->reanudadaEn` set even if
    // the transfer then fails); a 200 replaces what it held; a difference throws ErrorEmpalme. Failures that may pass throw ErrorTransitorio.
    static Http peticion(const QString& url, const QString& usuario, const QString& clave,
                         const QString& metodo = QStringLiteral("GET"),
                         const std::optional<QString>& cuerpo = std::nullopt, double timeout = 20,
                         const std::optional<QString>& aFichero = std::nullopt,
                         Progreso progreso = {}, bool soloMismaDireccion = false,
                         Reanudacion* reanudar = nullptr);

    QString texto() const { return QString::fromUtf8(datos); }
    std::optional<QString> cabecera(const QString& nombre) const;

    // A body held in memory never grows past this: a device must not make us hold more.
    static constexpr int64_t MAXIMO_EN_MEMORIA = 64LL * 1024 * 1024;

    QByteArray datos;
    int estado = 0;
    QMap<QString, QString> cabeceras;
    std::shared_ptr<QFile> salida;
    int64_t total = 0;
    int64_t esperado = -1;
    Progreso progreso;
    int intentosAuth = 0;  // credentials offered so far, across redirections
    bool rechazadas = false;  // the final 401 answered credentials we offered
    std::shared_ptr<Empalme> empalme;  // a resume's check, while it is asked for
    bool empalmado = false;  // the final 206 matched the bytes held and was appended
};

// What the header lines of one transfer said beyond what they leave in its Http.
struct LecturaCabeceras {
    QStringList retos;            // the "WWW-Authenticate" values of the final response
    bool esperaEstado = true;     // the next line is a response's status line
    bool provisional = false;     // in an interim (1xx) response, which says nothing
    bool completas = false;       // the final response's headers have all arrived
    bool largoImposible = false;  // a length beyond 64 bits: the body can never be complete
};
// One header line as the transfer hands it over, line end included. `estado` is the status
// the transfer read from it when it is a status line; a new response starts afresh.
void leerCabecera(Http& h, LecturaCabeceras& l, QByteArrayView linea, int estado);

// What a 401 reply's body says of a locked account (Hikvision's lockStatus and unlockTime,
// Dahua's "locked" texts and remainLockSecond): the message for the user, naming the wait
// when the device named it; absent when it says nothing of a lock.
std::optional<QString> mensajeBloqueo(const QString& cuerpo);

// The request every recorder protocol makes: the source's credentials, a 20-second idle
// timeout, and error statuses turned into messages for the user. A download (aFichero)
// that does not end in a 200 is an error too, and leaves no file. Credentials the device
// refused (or an account it locked) are noted in the source and throw ErrorCredenciales;
// with the same credentials nothing is sent again. The device's own trouble (5xx) throws
// ErrorTransitorio; a resumed download may end in a 206.
Http pedir(const Origen& origen, const QString& url, const QString& metodo,
           const std::optional<QString>& cuerpo, const std::optional<QString>& aFichero,
           Progreso progreso, bool soloMismaDireccion = false,
           Reanudacion* reanudar = nullptr);

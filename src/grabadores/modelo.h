#pragma once
// Where recordings come from and what each recording is. Sources and recordings are
// shared objects: the window keeps the same source in its tree while protocol code fills
// in its family and ports, and every recording keeps its source alive.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>

class Origen;

// Credentials a device refused, or an account it said it locked, with what the user is
// told. Recorders lock an account after a few wrong tries: requests with exactly these
// credentials are not sent again until the user types others. Read and written from any
// thread; every copy of a source shares it.
class Rechazo {
public:
    // The message when `usuario`/`clave` are the refused ones; absent otherwise.
    std::optional<QString> motivo(const QString& usuario, const QString& clave) const {
        std::lock_guard<std::mutex> l(m);
        if (!hay || usuario != u || clave != c) return std::nullopt;
        return texto;
    }
    void anotar(const QString& usuario, const QString& clave, const QString& mensaje) {
        std::lock_guard<std::mutex> l(m);
        hay = true;
        u = usuario;
        c = clave;
        texto = mensaje;
    }

private:
    mutable std::mutex m;
    bool hay = false;
    QString u, c, texto;
};
using OrigenPtr = std::shared_ptr<Origen>;

// One camera input of a recorder: its number on the device, from 1, and its name there
// (cleaned device text; empty when the device gives none).
struct Canal {
    int numero = 1;
    QString nombre;
    bool operator==(const Canal&) const = default;
};

class Origen {
public:
    Origen(QString tipo, QString nombre, QString ruta, QString detalle)
        : tipo(std::move(tipo)), nombre(std::move(nombre)), ruta(std::move(ruta)),
          detalle(std::move(detalle)) {}

    QString tipo;     // "red", "unidad" or "carpeta"
    QString nombre;
    QString ruta;     // address of a device, or path of a drive or folder
    QString detalle;
    QString ip;
    QList<int> puertos;
    QString familia;
    bool onvif = false;
    QString usuario = QStringLiteral("admin");
    QString clave;
    // The device's clock minus the PC's, in milliseconds, read when it was last listed;
    // absent when the device does not say its time.
    std::optional<qint64> desfaseReloj;
    // The camera inputs its last listing found; empty until then.
    QList<Canal> canales;
    std::optional<QList<OrigenPtr>> hijos;
    std::shared_ptr<Rechazo> rechazo = std::make_shared<Rechazo>();
};

class Fichero {
public:
    Fichero(QString nombre, std::optional<QDateTime> fecha, int64_t tamano, QString ruta,
            OrigenPtr origen, QString dato)
        : nombre(std::move(nombre)), fecha(std::move(fecha)), tamano(tamano),
          ruta(std::move(ruta)), origen(std::move(origen)), dato(std::move(dato)) {}

    const QString nombre;
    const std::optional<QDateTime> fecha;  // absent when the source gave no start time
    const int64_t tamano;                  // 0 when the source gave no size
    QString ruta;
    const OrigenPtr origen;
    const QString dato;
    bool crudo = false;
    // The recorder's camera input it came from, from 1; 0 when the source has no channels.
    int canal = 0;
    QString nombreCanal;  // as the device names that channel, cleaned; empty when it does not
    bool marcado = false;
    std::optional<QString> estado;
};
using FicheroPtr = std::shared_ptr<Fichero>;

// What a listing read and, when it stopped before reading everything, why: one line per
// stop ("página 3: la cámara respondió 500"). Several searches of one device join theirs,
// so one search that failed does not hide what the others found.
struct Listado {
    QList<FicheroPtr> ficheros;
    QStringList cortes;
    std::optional<qint64> desfaseReloj;  // device clock minus PC clock, ms, when it said
    QList<Canal> canales;  // every camera input of the device, searched or not

    void juntar(const Listado& otro) {
        ficheros << otro.ficheros;
        cortes << otro.cortes;
        if (!desfaseReloj) desfaseReloj = otro.desfaseReloj;
        if (canales.isEmpty()) canales = otro.canales;
    }
};

// The one error every recorder routine throws; its message is shown to the user as is.
class ErrorCamara : public std::exception {
public:
    explicit ErrorCamara(QString mensaje)
        : description(std::move(mensaje)), utf8(description.toUtf8()) {}
    const char* what() const noexcept override { return utf8.constData(); }

    QString description;

private:
    QByteArray utf8;
};

// The device refused the credentials offered, or said the account is locked: nothing more
// may be sent with them.
class ErrorCredenciales : public ErrorCamara {
public:
    using ErrorCamara::ErrorCamara;
};

// A failure that may pass if the transfer is tried again: no reply, a silence past the idle
// limit, a connection cut before the end, the device's own trouble (5xx). Never a refusal
// (credentials, 4xx) nor a fault of this machine (a full disk).
class ErrorTransitorio : public ErrorCamara {
public:
    using ErrorCamara::ErrorCamara;
};

// One try of a download into a file that may hold what an earlier try of the same
// recording kept. The routine asks only for the rest, after fetching again the last bytes
// it holds and finding them equal; otherwise it starts over from zero.
struct Reanudacion {
    int intento = 1;           // 1: the first try, which starts from an empty file
    int64_t desde = 0;         // what the file held when this try began
    int64_t reanudadaEn = -1;  // where this try appended after checking; -1: it did not
    QList<int64_t> anteriores;  // where the tries that ended so far did, in order
};

struct RedLocal {
    RedLocal(uint32_t ip, int prefijo) : ip(ip), prefijo(prefijo) {}
    uint32_t ip;  // host byte order
    int prefijo;
    bool operator==(const RedLocal&) const = default;
};

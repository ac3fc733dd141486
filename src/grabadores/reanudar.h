#pragma once
// Taking up a download where an earlier try stopped without ever joining bytes that do
// not belong together: the device is asked again for the last bytes already held, and
// only when they are the same does what follows get appended.
#include "grabadores/modelo.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>

// How much of what a file holds is fetched again and compared before appending.
constexpr int64_t COLA_REANUDAR = 64 * 1024;

// The device's bytes at the place of a resume were not those already held: the file is
// not the one the earlier try fetched, and must be fetched again whole.
class ErrorEmpalme : public ErrorCamara {
public:
    ErrorEmpalme() : ErrorCamara(QStringLiteral("la cámara envió otros datos al reanudar")) {}
};

// The tail of `fichero` below `desde`, and the bytes of an answer that starts at
// inicio(): compared while they cover that tail, written at `desde` onwards after it.
class Empalme {
public:
    enum class Paso { sigue, distinto, falloEscritura };
    // `fichero` open for reading and writing; it is left positioned at `desde`.
    Empalme(QFile& fichero, int64_t desde);
    int64_t inicio() const { return desde - cola.size(); }
    int64_t final() const { return desde; }
    // The whole tail has arrived and was equal.
    bool comprobado() const { return visto >= cola.size(); }
    Paso anadir(const char* datos, int64_t n);

private:
    QFile& f;
    int64_t desde;
    QByteArray cola;
    int64_t visto = 0;
};

// The first byte and the whole length of a "Content-Range: bytes S-E/T" value; the length
// is -1 when the device wrote "*". Absent for anything else.
std::optional<std::pair<int64_t, int64_t>> leerRango(const QString& valor);

// Empties the file at `ruta` for a fetch from zero. Throws ErrorCamara.
void vaciarFichero(const QString& ruta);

// Runs `intento` (one try of a download, `r.intento` counting from 1) again after each
// ErrorTransitorio, once per pause of `pausasMs`, waiting that long first; `antes` is told
// of each try again before its pause. The last error is thrown when the pauses run out or
// `parar` is asked. Where tries took up what earlier ones had kept, in order.
QList<int64_t> intentarConPausas(Reanudacion& r, const QList<int>& pausasMs, const std::function<void()>& intento,
                                 const std::function<void(const ErrorTransitorio&)>& antes = {},
                                 std::stop_token parar = {});

// pedir() into `destino`, a plain download that leaves no file on failure when `r` is null.
// Else the file stays, and a later try resumes what it holds; on a difference at the place
// of the resume it is emptied and the whole recording fetched again in the same try.
void pedirFichero(const Origen& origen, const QString& url, const QString& metodo,
                  const std::optional<QString>& cuerpo, const QString& destino,
                  const std::function<void(int)>& progreso, Reanudacion* r);

#pragma once
// Finding what is alive on the machine's own IPv4 networks: the networks themselves, a
// parallel TCP probe of recorder ports, and the ONVIF WS-Discovery probe.
#include "grabadores/modelo.h"

#include <QList>
#include <QMap>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

extern const QList<int> PUERTOS;

// One interface address as enumerated, before deciding whether it is worth sweeping.
struct DireccionInterfaz {
    uint32_t ip = 0;      // host order
    uint32_t mascara = 0; // host order
    bool activa = false;
    bool bucle = false;
};

QList<RedLocal> redesLocales();
QList<RedLocal> filtrarRedes(const QList<DireccionInterfaz>& direcciones);
QString ipTexto(uint32_t ip);
QStringList hostsDe(const RedLocal& red);
QMap<QString, QList<int>> sondearPuertos(const QStringList& hosts,
                                         const std::function<void(int)>& progreso);
// Whether the address lies on the network.
bool enRed(const RedLocal& red, uint32_t ip);
// Replies count only from addresses on `redes` (by default the machine's own networks).
QMap<QString, std::pair<QString, QString>> descubrirONVIF();
QMap<QString, std::pair<QString, QString>> descubrirONVIF(const QList<RedLocal>& redes);
QString campo(const QString& clave, const QString& respuesta);
// A WS-Discovery answer: a SOAP envelope holding a ProbeMatch.
bool esCoincidenciaONVIF(const QString& respuesta);
// A name a device chose, fit for one line of the window: no control characters or line
// separators, 64 characters at most.
QString textoDeDispositivo(const QString& texto);
// What one datagram says about its sender: (name, hardware) from its scopes, fit for
// the window; nothing when it is not an answer to the probe.
std::optional<std::pair<QString, QString>> leerRespuestaONVIF(const QByteArray& respuesta);
QString sondaONVIF(const QString& uuid);

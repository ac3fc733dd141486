#pragma once
// Finding what is alive on the machine's own IPv4 networks: the networks themselves, a
// parallel TCP probe of recorder ports, and the ONVIF WS-Discovery probe.
#include "grabadores/modelo.h"

#include <QList>
#include <QMap>
#include <QString>
#include <cstdint>
#include <functional>
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
QMap<QString, std::pair<QString, QString>> descubrirONVIF();
QString campo(const QString& clave, const QString& respuesta);
// What one reply to the probe says about its sender: (name, hardware) from its scopes.
std::pair<QString, QString> leerRespuestaONVIF(const QByteArray& respuesta);
QString sondaONVIF(const QString& uuid);

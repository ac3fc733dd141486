#pragma once
// Turning swept addresses into sources with a guessed family, and identifying a device
// for certain once the user has typed its credentials. Nothing here throws.
#include "grabadores/modelo.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

// The port a device's web pages are on, from its open ports: 80, else 8080, else the port
// typed by hand for it (which leads its list) unless that is the live stream's, FTP's or
// the Xiongmai protocol's, else 443; absent when none of them is.
std::optional<int> puertoWebDe(const QList<int>& puertos);
// puertoWebDe, or 80 when the ports name none.
int puertoWeb(const Origen& origen);
// The FTP port: the one typed by hand for the device (leading its list) unless it is a
// web or live-stream port, else 21.
int puertoFTP(const Origen& origen);
// "http://ip:port", or "https://ip:443": a device on 443 alone only speaks TLS.
QString urlWeb(const QString& ip, int puerto);
// urlWeb of the source's address and puertoWeb: where every family's web requests go.
QString baseWeb(const Origen& origen);
std::pair<QString, QString> familia(const QString& ip, const QList<int>& puertos);
QList<OrigenPtr> buscarRed(const std::function<void(int)>& progreso);
std::pair<QString, QString> detectarFamilia(const Origen& origen);

// What one reply without credentials says about a candidate family (status and the
// "WWW-Authenticate" challenge): the candidate itself when it is certain, "cámara" for a
// challenge that names neither family, or the empty text when it says nothing.
QString familiaPorRespuesta(const QString& candidato, int estado, const QString& reto);

// The identification pages asked with credentials, in order, and what the reply to one
// of them says: (family, model) when it names its family.
extern const QStringList PAGINAS_IDENTIFICACION;
std::optional<std::pair<QString, QString>> leerIdentificacion(const QString& pagina,
                                                              const QString& cuerpo);

// Numeric order of dotted addresses, so that .9 comes before .10.
bool antesQue(const QString& a, const QString& b);

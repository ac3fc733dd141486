#pragma once
// Turning swept addresses into sources with a guessed family, and identifying a device
// for certain once the user has typed its credentials. Nothing here throws.
#include "grabadores/modelo.h"

#include <QList>
#include <QString>
#include <functional>
#include <utility>

int puertoWeb(const Origen& origen);
// "http://" + ip + ":" + puertoWeb: where every family's web requests go.
QString baseWeb(const Origen& origen);
std::pair<QString, QString> familia(const QString& ip, const QList<int>& puertos);
QList<OrigenPtr> buscarRed(const std::function<void(int)>& progreso);
std::pair<QString, QString> detectarFamilia(const Origen& origen);

// Numeric order of dotted addresses, so that .9 comes before .10.
bool antesQue(const QString& a, const QString& b);

#pragma once
// The camera inputs of a recorder: an NVR or DVR has 4 to 32 of them, a camera one. Asked
// of the device before its recordings are searched, one channel after another.
#include "grabadores/modelo.h"

#include <QList>
#include <QString>
#include <optional>

// More than any recorder has: a device that claims more is not believed past it.
constexpr int MAXIMO_CANALES = 256;

// Hikvision: the NVR's list of IP channels (/ISAPI/ContentMgmt/InputProxy/channels), else
// the list of video inputs of a DVR or camera (/ISAPI/System/Video/inputs/channels), else
// channel 1 alone. Dahua: the number of remote inputs (magicBox, MaxRemoteInputChannels),
// else of video inputs (devVideoInput getCollect), else 1; names from ChannelTitle. Only
// refused credentials are thrown: anything else the device cannot say leaves channel 1.
QList<Canal> canalesHikvision(const Origen& origen);
QList<Canal> canalesDahua(const Origen& origen);

// The channels of a Hikvision channel list, by their `elemento` ("InputProxyChannel",
// "VideoInputChannel"), sorted by number; absent when the reply holds none.
std::optional<QList<Canal>> leerCanalesHikvision(const QString& xml, const QString& elemento);
// The number in a Dahua "clave=N" reply line (table.MaxRemoteInputChannels, result);
// absent when it holds no number from 1 to MAXIMO_CANALES.
std::optional<int> leerCuentaDahua(const QString& respuesta, const QString& clave);
// Channels 1..cuenta, named by the "table.ChannelTitle[i].Name=" lines (i from 0).
QList<Canal> leerTitulosDahua(const QString& respuesta, int cuenta);

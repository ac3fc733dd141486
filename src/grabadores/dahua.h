#pragma once
// Recordings of Dahua (and Imou, EZ-IP) recorders and cameras: each channel's dav and mp4
// files, found through the device's media file finder and fetched through its file
// loading interface. Both block a background thread.
#include "grabadores/http.h"
#include "grabadores/listado.h"
#include "grabadores/modelo.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <optional>

// At most about 5000 recordings a channel, channel by channel in the device's order, their
// local times read in the device's own zone when it says it, its channels and its clock.
// Throws ErrorCamara when no channel could be searched; a later page's or another
// channel's failure ends that channel's part with what was read.
Listado listarDahua(const OrigenPtr& origen, const Consulta& consulta);
// Writes the file as the device sends it (a ".dav" stays in the device's own container).
// Throws ErrorCamara.
// With `r`, a failure that may pass throws ErrorTransitorio and leaves what arrived in
// the file for the next try (`r->intento` one higher) to resume.
void descargarDahua(const Fichero& fichero, const QString& destino, const Progreso& progreso,
                    Reanudacion* r = nullptr);

// The "items[n].Clave=valor" lines of one findNextFile reply: each item's keys and
// values, by item number.
using ItemsDahua = QMap<qint64, QMap<QString, QString>>;
ItemsDahua leerItemsDahua(const QByteArray& respuesta);
// One recording per item, in ascending item number; `zona` (seconds east of UTC) is the
// device's when it is not the PC's.
QList<FicheroPtr> ficherosDahua(const ItemsDahua& items, const OrigenPtr& origen,
                                std::optional<int> zona = std::nullopt);
// The download address's path for a file path on the device: every part percent-encoded,
// its "/" kept.
QString rutaCargaDahua(const QString& ruta);

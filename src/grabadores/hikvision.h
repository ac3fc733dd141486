#pragma once
// Recordings of Hikvision (and HiLook) recorders and cameras, through their ISAPI web
// interface: a paged search of each channel's main stream (track N01 for channel N) and
// the download of one recording by its playback locator. Both block a background thread.
#include "grabadores/http.h"
#include "grabadores/listado.h"
#include "grabadores/modelo.h"

#include <QDateTime>
#include <QList>
#include <QString>

// At most 5000 recordings a channel, channel by channel in the device's order, the
// device's channels and its clock. Throws ErrorCamara when no channel could be searched; a
// later page's or another channel's failure ends that channel's part with what was read.
Listado listarHikvision(const OrigenPtr& origen, const Consulta& consulta);
// Writes the recording as the device sends it into `destino`. Throws ErrorCamara.
// With `r`, a failure that may pass throws ErrorTransitorio and leaves what arrived in
// the file for the next try (`r->intento` one higher) to resume.
void descargarHikvision(const Fichero& fichero, const QString& destino, const Progreso& progreso,
                        Reanudacion* r = nullptr);

// The search request for one page of a channel; `searchID` is an upper-case UUID.
QString cuerpoBusquedaHikvision(const QString& searchID, const QDateTime& inicio,
                                const QDateTime& fin, int posicion, int canal = 1);
// The download request for a recording's playback locator, as the device gave it.
QString cuerpoDescargaHikvision(const QString& uri);
// The recordings of one search reply, in its order; a reply that is no search result has none.
QList<FicheroPtr> leerPaginaHikvision(const QString& respuesta, const OrigenPtr& origen);

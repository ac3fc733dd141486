#pragma once
// Recordings of Hikvision (and HiLook) recorders and cameras, through their ISAPI web
// interface: a paged search of the first channel's main stream (track 101) and the
// download of one recording by its playback locator. Both block a background thread.
#include "grabadores/http.h"
#include "grabadores/modelo.h"

#include <QDateTime>
#include <QList>
#include <QString>

// At most 5000 recordings, in the device's order, and the device's clock. Throws
// ErrorCamara when the first page fails; a later page's failure ends the listing with what
// was read.
Listado listarHikvision(const OrigenPtr& origen, const QString& periodo);
// Writes the recording as the device sends it into `destino`. Throws ErrorCamara.
// With `r`, a failure that may pass throws ErrorTransitorio and leaves what arrived in
// the file for the next try (`r->intento` one higher) to resume.
void descargarHikvision(const Fichero& fichero, const QString& destino, const Progreso& progreso,
                        Reanudacion* r = nullptr);

// The search request for one page; `searchID` is an upper-case UUID.
QString cuerpoBusquedaHikvision(const QString& searchID, const QDateTime& inicio,
                                const QDateTime& fin, int posicion);
// The download request for a recording's playback locator, as the device gave it.
QString cuerpoDescargaHikvision(const QString& uri);
// The recordings of one search reply, in its order; a reply that is no search result has none.
QList<FicheroPtr> leerPaginaHikvision(const QString& respuesta, const OrigenPtr& origen);

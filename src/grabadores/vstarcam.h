#pragma once
// Recordings on the memory card of VStarcam and other Hi3510 cameras, whose web server
// publishes the card as directory index pages under "/sd/": day folders ("yyyyMMdd"), in
// them sub-folders, in those the files. Raw recordings (.264, .265, .h264, .h265) come in
// the camera's own block container and are turned into MP4 by ffmpeg. All block a
// background thread.
#include "grabadores/http.h"
#include "grabadores/listado.h"
#include "grabadores/modelo.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

// The device paths the index page at `ruta` links to, in page order. Throws ErrorCamara.
QStringList indiceLinks(const Origen& origen, const QString& ruta);
// Newest day first, at most 3000, for the days the period touches (the card has no
// channels). Throws ErrorCamara when nothing could be read; a folder that fails later ends
// the listing with what was read.
Listado listarVStarcam(const OrigenPtr& origen, const Consulta& consulta);
// Downloads the file; a raw one is converted by the ffmpeg at `ffmpeg` into an MP4 at
// `destino`, which counts only when the ffprobe beside it finds in the MP4 the frames the
// raw stream held (within one group of pictures). Throws ErrorCamara; when only the
// conversion failed, ConversionFallida with the raw download kept beside `destino`. With
// `r`, a transfer that may pass throws ErrorTransitorio and leaves the raw download at
// temporalDescarga(destino) for the next try to resume.
void descargarVStarcam(const Fichero& fichero, const QString& destino, const QString& ffmpeg,
                       const Progreso& progreso, Reanudacion* r = nullptr);

// The links of an index page's text, made absolute against the page's path `ruta`; parent
// folder and sorting links left out.
QStringList linksDePagina(const QString& pagina, const QString& ruta);
// The recording a file link of the card stands for; absent when it is no recording or its
// time, read from its name, falls outside [inicio, fin].
FicheroPtr ficheroVStarcam(const QString& ruta, const OrigenPtr& origen, const QDateTime& inicio,
                           const QDateTime& fin);
// Whether the day folder link (".../yyyyMMdd/") falls on a day from inicio's to fin's,
// in local time; false for a link that names no day.
bool diaEnPeriodo(const QString& link, const QDateTime& inicio, const QDateTime& fin);

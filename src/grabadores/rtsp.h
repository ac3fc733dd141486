#pragma once
// Live RTSP streams: finding a path that carries video with ffprobe, and recording a
// number of seconds of it into an MP4 with ffmpeg. All three calls block the calling
// thread and never throw; none may run on the main thread.
#include "grabadores/modelo.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The paths tried in turn; the first that carries video wins.
extern const QStringList RUTAS_RTSP;

// "rtsp://user:password@ip:554" + path, the credentials escaped down to letters and
// digits; no credentials at all when the user name is empty.
QString urlRTSP(const Origen& origen, const QString& ruta);

// The first path of RUTAS_RTSP whose stream has video, or nothing.
std::optional<QString> probarRTSP(const Origen& origen, const QString& ffprobe);

// Records `segundos` of the stream at `ruta` into `salida` (stream copy), calling
// `progreso` with 0..100 about twice a second. A recording still running 30 s past its
// length is stopped. True when a file exists at `salida` afterwards.
bool grabarRTSP(const Origen& origen, const QString& ruta, int segundos, const QString& salida,
                const QString& ffmpeg, const std::function<void(int)>& progreso);

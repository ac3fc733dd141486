#pragma once
// Live RTSP streams: finding a path that carries video with ffprobe, and recording a
// number of seconds of it into an MP4 with ffmpeg. All three calls block the calling
// thread and never throw; none may run on the main thread.
#include "grabadores/modelo.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <stop_token>

// The paths tried in turn; the first that carries video wins.
extern const QStringList RUTAS_RTSP;

// ffprobe and ffmpeg never see the address on their command line (it holds the password):
// they read it on their standard input.

// "rtsp://user:password@ip:554" + path, the credentials escaped down to letters and
// digits; no credentials at all when the user name is empty.
QString urlRTSP(const Origen& origen, const QString& ruta);

// The paths to try for one channel of a recorder of this family: every path of
// RUTAS_RTSP for channel 0 (none chosen), else the family's path of that channel
// (Hikvision "/Streaming/Channels/N01", Dahua "/cam/realmonitor?channel=N&subtype=0"; both
// for a family that is neither), since any other path would show another camera.
QStringList rutasRTSP(const QString& familia, int canal);

// The first of `rutas` whose stream has video, or nothing.
std::optional<QString> probarRTSP(const Origen& origen, const QString& ffprobe,
                                  const QStringList& rutas = RUTAS_RTSP);

// Records `segundos` of the stream at `ruta` into `salida` (stream copy), calling
// `progreso` with 0..100 about twice a second. A recording still running 30 s past its
// length is stopped, and so is one whose caller asks through `parar` (the window is
// closing): ffmpeg is interrupted first, so what it recorded stays playable, and killed
// if it does not end. ffmpeg is also interrupted should this process die first. True when
// a file exists at `salida` afterwards.
bool grabarRTSP(const Origen& origen, const QString& ruta, int segundos, const QString& salida,
                const QString& ffmpeg, const std::function<void(int)>& progreso,
                std::stop_token parar = {});

// Seconds of video the file at `ruta` holds, as `ffprobe` reads them; absent when it
// cannot tell.
std::optional<double> duracionVideo(const QString& ffprobe, const QString& ruta);

#pragma once
// Short real videos for the recorder tests, made by Debian's ffmpeg at test time, and the
// raw block container of VStarcam cameras built around them.
#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

bool hayFfmpeg();

// A raw H.264 (or H.265) stream of `fotogramas` frames at 25 per second, an access-unit
// delimiter before each frame; empty when ffmpeg failed.
QByteArray videoCrudo(int fotogramas, bool hevc = false);
// The same as an MP4 file's bytes.
QByteArray videoMP4(int fotogramas);
// A raw stream cut into its frames, at the access-unit delimiters.
QList<QByteArray> fotogramasDe(const QByteArray& crudo, bool hevc = false);

// One block of the container: tag, declared length (the payload's own unless given), 8
// bytes of time stamp, payload.
QByteArray bloqueHX(const char* etiqueta, const QByteArray& carga,
                    std::optional<uint32_t> largo = std::nullopt);
// A recording as the camera writes it: an "HXVT" header, then one "HXVF" block per frame,
// each followed by an "HXAF" audio block when `conAudio`.
QByteArray envolverHXVT(const QList<QByteArray>& fotogramas, bool conAudio = true);

// Video packets ffprobe counts in the file's first video stream; -1 when it has none.
int fotogramasEn(const QString& ruta);

#pragma once
// The raw block container in which VStarcam and other Hi3510 cameras record (files ending
// in .264, .265, .h264, .h265). Each block has a 16-byte header, integers little-endian:
// a tag of four ASCII letters ("HXVT" file header with no payload counted, "HXVF" video,
// "HXAF" audio, any other "HX.." some other block), the payload length (4 bytes), 8 bytes
// not read, then the payload. The video payloads in order are the raw stream ffmpeg reads
// as a .h264 or .h265 file.
#include <QIODevice>
#include <QString>
#include <cstdint>

// Copies the video payloads of the blocks in `entrada`, from its current position to its
// end, into `salida`, and returns how many video blocks it copied; -1 when reading or
// writing failed. The walk stops at an unknown tag, at a video or audio block of length 0
// and at a video or audio block that runs past the end (a truncated last block is
// dropped). Streams: memory stays a few MiB whatever the size. `entrada` must be a file or
// a buffer (its size is known), opened for reading. `ventana` is how much of `entrada` is
// read at a time (16 bytes at least); tests make it small so blocks cross its edges.
int64_t desHXVT(QIODevice& entrada, QIODevice& salida, qint64 ventana = 4 * 1024 * 1024);

// The same from bytes in memory into the file at `destino`, which is created or replaced
// even when nothing is copied.
int64_t desHXVT(const QByteArray& datos, const QString& destino);

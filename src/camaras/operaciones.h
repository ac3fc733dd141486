#pragma once
// What the cameras window asks of the recorder code, as one table of operations. The
// window never names a protocol routine itself: the program hands it the real table
// (operaciones_reales.cpp), the tests hand it scripted ones, so no test ever sweeps or
// contacts a real network. An empty entry is a routine this build does not have; the
// window then says so in Spanish instead of failing.
#include "grabadores/listado.h"
#include "grabadores/modelo.h"

#include <QList>
#include <QMap>
#include <QString>
#include <functional>
#include <exception>
#include <optional>
#include <stop_token>
#include <utility>

// Progress as an integer percentage, called from the background thread doing the work.
using Progreso = std::function<void(int)>;

struct Operaciones {
    // Drives and folders. All synchronous; the window calls them off the main thread
    // except `subcarpetas`/`tieneSubcarpetas` when the user opens a tree row.
    std::function<QList<OrigenPtr>()> buscarUnidades;
    std::function<QList<OrigenPtr>(const QString& carpeta)> subcarpetas;
    std::function<bool(const QString& carpeta)> tieneSubcarpetas;
    std::function<QList<FicheroPtr>(const OrigenPtr& origen)> listarUnidad;

    // The network: the sweep, the family from open ports (no credentials), and the
    // identification with the credentials stored in the source (family, model text).
    std::function<QList<OrigenPtr>(const Progreso& progreso)> buscarRed;
    std::function<std::pair<QString, QString>(const QString& ip, const QList<int>& puertos)>
        familia;
    std::function<std::pair<QString, QString>(const Origen& origen)> detectarFamilia;

    // Per family ("hikvision", "dahua", "vstarcam", "ftp"): the listing of a period and
    // channel (FTP ignores both) and the download of one recording into a file path. Both
    // throw ErrorCamara; a listing that read something before it failed returns that and
    // why it stopped. `ffmpeg` is only used by families that convert what they fetch. A
    // download that fails for a reason that may pass throws ErrorTransitorio and keeps what
    // arrived, for the next try (`reanudar.intento` one higher) to resume.
    using Listar = std::function<Listado(const OrigenPtr& origen, const Consulta& consulta)>;
    using Descargar = std::function<void(const FicheroPtr& fichero, const QString& destino,
                                         const QString& ffmpeg, const Progreso& progreso,
                                         Reanudacion& reanudar)>;
    QMap<QString, Listar> listar;
    QMap<QString, Descargar> descargar;
    // The pause in ms before each try again of a download that failed for a reason that
    // may pass; as many tries again as pauses.
    QList<int> pausasReintento = {2000, 5000, 15000};

    // The live stream: the first RTSP path that carries video (of `canal`, or of any
    // channel for 0), and a recording of it (true when the output file exists afterwards).
    // A recording asked to stop through `parar` ends early and cleanly, keeping what it got.
    std::function<std::optional<QString>(const Origen& origen, const QString& ffprobe, int canal)> probarRTSP;
    std::function<bool(const Origen& origen, const QString& ruta, int segundos, const QString& salida,
                       const QString& ffmpeg, const Progreso& progreso, std::stop_token parar)>
        grabarRTSP;
    // Seconds of video a file holds, as the ffprobe at `ffprobe` reads them; absent when it
    // cannot tell.
    std::function<std::optional<double>(const QString& ffprobe, const QString& ruta)> duracion;

    // Asked when the window closes: a routine that can run long without writing a file
    // (walking a server's folders) stops then. Copies of the table share it.
    std::stop_source cierre;
};

// The table wired to the recorder routines of this build.
Operaciones operacionesReales();

// Why a routine failed, as the window shows it: an ErrorCamara's Spanish text, else what
// the exception says.
QString motivoDe(const std::exception& e);

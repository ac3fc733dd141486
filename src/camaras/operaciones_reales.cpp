// The one place where the cameras window meets the recorder routines. Whatever this
// build lacks stays empty, and the window answers in Spanish that it cannot do it yet.
#include "camaras/operaciones.h"

#include "grabadores/dahua.h"
#include "grabadores/ftp.h"
#include "grabadores/hikvision.h"
#include "grabadores/identificar.h"
#include "grabadores/rtsp.h"
#include "grabadores/unidades.h"
#include "grabadores/vstarcam.h"

Operaciones operacionesReales()
{
    Operaciones o;
    o.buscarUnidades = [] { return buscarUnidades(); };
    o.subcarpetas = [](const QString& carpeta) { return subcarpetas(carpeta); };
    o.tieneSubcarpetas = [](const QString& carpeta) { return tieneSubcarpetas(carpeta); };
    o.listarUnidad = [](const OrigenPtr& origen) { return listarUnidad(origen); };

    o.buscarRed = [](const Progreso& progreso) { return buscarRed(progreso); };
    o.familia = [](const QString& ip, const QList<int>& puertos) { return familia(ip, puertos); };
    o.detectarFamilia = [](const Origen& origen) { return detectarFamilia(origen); };

    // FTP offers every file, whatever the period. Its walk ends when the window closes, and
    // says why when it stopped before the end.
    o.listar[QStringLiteral("ftp")] = [parar = o.cierre.get_token()](const OrigenPtr& origen, const Consulta&) {
        Listado l;
        QString corte;
        l.ficheros = listarFTP(origen, parar, &corte);
        if (!corte.isEmpty())
            l.cortes << corte;
        return l;
    };
    o.descargar[QStringLiteral("ftp")] = [](const FicheroPtr& f, const QString& destino, const QString&,
                                            const Progreso& progreso, Reanudacion& r) {
        descargarFTP(*f, destino, progreso, INACTIVIDAD_FTP_S, &r);
    };

    o.listar[QStringLiteral("hikvision")] = listarHikvision;
    o.descargar[QStringLiteral("hikvision")] = [](const FicheroPtr& f, const QString& destino, const QString&,
                                                  const Progreso& progreso, Reanudacion& r) { descargarHikvision(*f, destino, progreso, &r); };
    o.listar[QStringLiteral("dahua")] = listarDahua;
    o.descargar[QStringLiteral("dahua")] = [](const FicheroPtr& f, const QString& destino, const QString&,
                                              const Progreso& progreso, Reanudacion& r) { descargarDahua(*f, destino, progreso, &r); };
    // Raw memory-card recordings are turned into MP4 by the player's ffmpeg.
    o.listar[QStringLiteral("vstarcam")] = listarVStarcam;
    o.descargar[QStringLiteral("vstarcam")] = [](const FicheroPtr& f, const QString& destino, const QString& ffmpeg,
                                                 const Progreso& progreso, Reanudacion& r) {
        descargarVStarcam(*f, destino, ffmpeg, progreso, &r);
    };

    o.probarRTSP = [](const Origen& origen, const QString& ffprobe, int canal) {
        return probarRTSP(origen, ffprobe, rutasRTSP(origen.familia, canal));
    };
    o.grabarRTSP = [](const Origen& origen, const QString& ruta, int segundos, const QString& salida,
                      const QString& ffmpeg, const Progreso& progreso, std::stop_token parar) {
        return grabarRTSP(origen, ruta, segundos, salida, ffmpeg, progreso, std::move(parar));
    };
    o.duracion = [](const QString& ffprobe, const QString& ruta) { return duracionVideo(ffprobe, ruta); };
    return o;
}

QString motivoDe(const std::exception& e)
{
    if (auto* c = dynamic_cast<const ErrorCamara*>(&e))
        return c->description;
    return QString::fromLocal8Bit(e.what());
}

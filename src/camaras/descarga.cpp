// Putting files into the case: the marked recordings, one after the other, and the live
// stream of a device. Every file is written under a temporary name, hashed as it
// arrives, and given its final name and its record only when complete.
#include "camaras/camaras.h"
#include "camaras/custodia_camaras.h"
#include "camaras/evidencia.h"
#include "camaras/modelo_lista.h"
#include "camaras/nombres.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

struct Encargo {
    FicheroPtr fichero;
    QString familia;
    QString carpetaOrigen;  // sub-folder of the destination, named after the source (and channel)
    Procedencia procedencia;
};

} // namespace

void Camaras::descargar()
{
    QList<Encargo> encargos;
    for (const FicheroPtr& f : ficheros)
        if (f->marcado) {
            // A recorder's cameras each get a folder: two of them may start a file in the
            // same second, under the same name.
            QString carpeta = componenteSeguro(f->origen->nombre);
            if (f->canal > 0 && f->origen->canales.size() > 1)
                carpeta = unirRuta(carpeta, carpetaCanal(f->canal));
            encargos << Encargo{f, f->origen->familia, carpeta, procedenciaDe(*f, modeloDe(f->origen))};
        }
    if (encargos.isEmpty() || ocupado)
        return;
    const QString custodia = carpetaCasoDe(base, caso);
    for (Encargo& e : encargos)
        e.procedencia.carpetaCaso = custodia;
    bloquear(true);
    const Operaciones o = ops;
    const QString carpeta = destino;
    const QString conversor = ffmpeg;
    fondo([this, o, encargos, carpeta, conversor, custodia] {
        const int n = int(encargos.size());
        for (int i = 0; i < n; ++i) {
            const Encargo& e = encargos[i];
            const FicheroPtr f = e.fichero;
            const QString sub = unirRuta(carpeta, e.carpetaOrigen);
            QDir().mkpath(sub);
            const QString original = componenteSeguro(f->nombre, QStringLiteral("grabacion"));
            const QString nombre = nombreLibre(sub, original, QTime::currentTime());
            const QString temporal = rutaTemporal(sub, nombre);
            const QString paso = QLatin1Char('(') + QString::number(i + 1) + QStringLiteral(" de ")
                + QString::number(n) + QStringLiteral(") ") + f->nombre + QStringLiteral("…");
            enVentana([this, paso] { progreso(0, paso); });
            const Progreso alMainHilo = avisoProgreso([this, paso](int p) {
                progreso(p, paso + QLatin1Char(' ') + QString::number(std::clamp(p, 0, 100)) + QStringLiteral(" %"));
            });
            const QDateTime inicio = QDateTime::currentDateTimeUtc();
            temporalEnCurso(temporal);
            try {
                QFile::remove(temporal);
                std::optional<Huella> huella;
                if (f->origen->tipo == QLatin1String("red")) {
                    if (!familiaConocida(e.familia))
                        throw ErrorCamara(QStringLiteral("familia desconocida"));
                    const Operaciones::Descargar bajar = o.descargar.value(e.familia);
                    if (!bajar)
                        throw ErrorCamara(QStringLiteral("esta versión aún no sabe descargar de ") + e.familia);
                    SeguidorHash seguidor(temporal);
                    bajar(f, temporal, conversor, alMainHilo);
                    if (!QFileInfo::exists(temporal)) {
                        temporalEnCurso(QString());
                        continue;  // the routine ended without error and without a file
                    }
                    huella = seguidor.terminar();
                    if (!huella)
                        throw ErrorCamara(QStringLiteral("no se pudo leer lo descargado"));
                } else {
                    huella = copiarConHuella(f->dato, temporal, alMainHilo);
                }
                const QString final = asentar(temporal, sub, nombre, original, e.procedencia, inicio,
                                              QDateTime::currentDateTimeUtc(), *huella);
                temporalEnCurso(QString());
                enVentana([this, f, final] {
                    descargados << final;
                    f->marcado = false;
                    f->estado = QStringLiteral("descargado");
                    recargarLista();
                });
            } catch (const std::exception& error) {
                // No partial file stays behind, under any name.
                QFile::remove(temporal);
                const QString motivo = motivoDe(error);
                temporalEnCurso(QString());
                enVentana([this, f, motivo] {
                    f->estado = QStringLiteral("ERROR: ") + motivo;
                    recargarLista();
                });
            }
        }
        const QString nota = informeTrasLote(custodia);
        enVentana([this, carpeta, nota] {
            bloquear(false);
            progresoFin();
            cuenta();
            lCuenta->setText(QString::number(descargados.size()) + QStringLiteral(" ficheros descargados en ")
                             + carpeta + nota);
        });
    });
}

void Camaras::grabarDirecto()
{
    if (!actual || ocupado)
        return;
    const OrigenPtr origen = actual;
    origen->usuario = tU->text();
    origen->clave = clave();
    const int segundos = duracionDirecto(nSeg->text());
    const int canal = canalElegido();
    nSeg->setText(QString::number(segundos));
    estado(QStringLiteral("Buscando la ruta RTSP…"));
    progreso(0, QStringLiteral("Probando rutas RTSP de la cámara…"));
    bloquear(true);
    const QString ffprobe = unirRuta(QFileInfo(ffmpeg).path(), QStringLiteral("ffprobe"));
    const Operaciones o = ops;
    const QString carpeta = destino;
    const QString conversor = ffmpeg;
    Procedencia procedencia = procedenciaDe(*origen, modeloDe(origen));
    procedencia.segundosDirecto = segundos;
    const QList<Canal> canales = origen->canales;
    procedencia.carpetaCaso = carpetaCasoDe(base, caso);
    {
        std::lock_guard<std::mutex> l(mDirecto);
        paradaDirecto = std::stop_source();
    }
    const std::stop_token parar = paradaDirecto.get_token();
    fondo([this, o, origen, ffprobe, carpeta, conversor, segundos, procedencia, parar, canal, canales]() mutable {
        const std::optional<QString> ruta = o.probarRTSP ? o.probarRTSP(*origen, ffprobe, canal) : std::nullopt;
        if (!ruta || !o.grabarRTSP) {
            enVentana([this, hay = bool(o.probarRTSP && o.grabarRTSP)] {
                bloquear(false);
                progresoFin();
                lCuenta->setText(hay ? QStringLiteral("No se encontró un directo RTSP con esas credenciales")
                                     : QStringLiteral("Grabar el directo aún no está disponible en esta versión."));
                estado(QString());
            });
            return;
        }
        QDir().mkpath(carpeta);
        const QDateTime ahora = QDateTime::currentDateTime();
        const QString nombre = nombreLibre(carpeta, nombreDirecto(origen->ip, ahora), ahora.time());
        const QString temporal = rutaTemporal(carpeta, nombre);
        procedencia.ubicacion = QStringLiteral("rtsp://") + origen->ip + QStringLiteral(":554") + *ruta;
        // Only a chosen channel was asked for by its own path.
        if (canal > 0) {
            procedencia.canal = canal;
            procedencia.nombreCanal = canalesPedidos(canales, canal).value(0).nombre;
        }
        procedencia.inicioGrabacion = ahora;
        const QString ip = origen->ip;
        const Progreso alMainHilo = avisoProgreso([this, ip](int p) {
            const int q = std::clamp(p, 0, 100);
            progreso(q, QStringLiteral("Grabando el directo de ") + ip + QStringLiteral("… ") + QString::number(q)
                            + QStringLiteral(" %"));
        });
        {
            // The window is closing: the process ends before a recording would.
            std::lock_guard<std::mutex> l(mDirecto);
            if (parar.stop_requested())
                return;
            grabando = true;
        }
        QFile::remove(temporal);
        QString final, fallo;
        {
            SeguidorHash seguidor(temporal);
            const QDateTime inicio = QDateTime::currentDateTimeUtc();
            try {
                const bool hecho = o.grabarRTSP(*origen, *ruta, segundos, temporal, conversor, alMainHilo, parar);
                if (!hecho || !QFileInfo::exists(temporal))
                    throw ErrorCamara(QString());
                procedencia.detenidoAlCerrar = parar.stop_requested();
                const std::optional<Huella> huella = seguidor.terminar();
                if (!huella)
                    throw ErrorCamara(QStringLiteral("no se pudo leer lo grabado"));
                final = asentar(temporal, carpeta, nombre, nombre, procedencia, inicio,
                                QDateTime::currentDateTimeUtc(), *huella);
            } catch (const std::exception& e) {
                QFile::remove(temporal);
                const QString motivo = motivoDe(e);
                fallo = motivo.isEmpty() ? QStringLiteral("La grabación falló")
                                         : QStringLiteral("La grabación falló: ") + motivo;
            }
        }
        const QString nota = fallo.isEmpty() ? informeTrasLote(procedencia.carpetaCaso) : QString();
        enVentana([this, final, fallo, nota] {
            bloquear(false);
            progresoFin();
            if (fallo.isEmpty()) {
                descargados << final;
                lCuenta->setText(QStringLiteral("Grabado: ") + final + nota);
            } else {
                lCuenta->setText(fallo);
            }
            estado(QString());
        });
        // After the post: a window waiting to close finds the path among its events.
        std::lock_guard<std::mutex> l(mDirecto);
        grabando = false;
        finDirecto.notify_all();
    });
}

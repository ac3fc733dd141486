// Putting files into the case: the marked recordings, one after the other, and the live
// stream of a device. Every file is written under a temporary name, hashed as it
// arrives, and given its final name and its record only when complete.
#include "camaras/camaras.h"
#include "camaras/custodia_camaras.h"
#include "camaras/evidencia.h"
#include "camaras/huella_intentos.h"
#include "camaras/modelo_lista.h"
#include "camaras/nombres.h"
#include "grabadores/descargas.h"
#include "grabadores/reanudar.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

struct Encargo {
    FicheroPtr fichero;
    QString familia;
    QString carpetaOrigen;  // sub-folder of the destination, named after the source (and channel)
    Procedencia procedencia;
};

} // namespace

QString Camaras::textoReintento(int n, int de)
{
    return QStringLiteral("reintento ") + QString::number(n) + QStringLiteral(" de ") + QString::number(de)
        + QStringLiteral("…");
}

void Camaras::reintentarFallidos()
{
    if (ocupado)
        return;
    for (const FicheroPtr& f : ficheros)
        f->marcado = f->estado && f->estado->startsWith(QLatin1String("ERROR"));
    descargar();
}

void Camaras::descargar()
{
    QList<Encargo> encargos;
    for (const FicheroPtr& f : ficheros)
        if (f->marcado) {
            // A recorder's cameras each get a folder: two of them may start a file in the
            // same second, under the same name.
            QString carpeta = componenteSeguro(f->origen->nombre, QStringLiteral("-"));
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
        QSet<QString> limpias;
        for (int i = 0; i < n; ++i) {
            const Encargo& e = encargos[i];
            const FicheroPtr f = e.fichero;
            const QString sub = unirRuta(carpeta, e.carpetaOrigen);
            QDir().mkpath(sub);
            // What a killed run left half written here goes before anything new arrives.
            if (!limpias.contains(sub)) {
                limpiarParciales(sub);
                limpias << sub;
            }
            const QString original = componenteSeguro(f->nombre, QStringLiteral("grabacion"));
            QString nombre = nombreLibre(sub, original, QTime::currentTime());
            const QString temporal = rutaTemporal(sub, nombre);
            const QString paso = QLatin1Char('(') + QString::number(i + 1) + QStringLiteral(" de ")
                + QString::number(n) + QStringLiteral(") ") + f->nombre + QStringLiteral("…");
            enVentana([this, paso] { progreso(0, paso); });
            const Progreso alMainHilo = avisoProgreso([this, paso](int p) {
                progreso(p, paso + QLatin1Char(' ') + QString::number(std::clamp(p, 0, 100)) + QStringLiteral(" %"));
            });
            const QDateTime inicio = QDateTime::currentDateTimeUtc();
            temporalEnCurso(temporal);
            QString guardado = temporal;  // the file that becomes the evidence
            try {
                QFile::remove(temporal);
                BloqueoParcial bloqueo(temporal);
                std::optional<BloqueoParcial> bloqueoCrudo;
                Procedencia procedencia = e.procedencia;
                QString estado = QStringLiteral("descargado");
                QString base = original;
                std::optional<Huella> huella;
                if (f->origen->tipo == QLatin1String("red")) {
                    if (!familiaConocida(e.familia))
                        throw ErrorCamara(QStringLiteral("familia desconocida"));
                    const Operaciones::Descargar bajar = o.descargar.value(e.familia);
                    if (!bajar)
                        throw ErrorCamara(QStringLiteral("esta versión aún no sabe descargar de ") + e.familia);
                    HuellaPorIntentos seguidor(temporal);
                    Reanudacion r;
                    try {
                        const int de = int(o.pausasReintento.size());
                        const auto reintento = [this, f, paso, de, &r](const ErrorTransitorio& t) {
                            const QString texto = textoReintento(r.intento, de);
                            enVentana([this, f, texto, paso, t] {
                                f->estado = texto;
                                recargarLista();
                                progreso(0, paso + QLatin1Char(' ') + texto + QStringLiteral(" (") + t.description
                                                + QLatin1Char(')'));
                            });
                        };
                        procedencia.reanudadaEn = intentarConPausas(
                            r, o.pausasReintento,
                            [&] {
                                seguidor.empiezaIntento();
                                try {
                                    bajar(f, temporal, conversor, alMainHilo, r);
                                } catch (...) {
                                    seguidor.acabaIntento(r);
                                    throw;
                                }
                                seguidor.acabaIntento(r);
                            },
                            reintento, o.cierre.get_token());
                        procedencia.intentos = r.intento;
                        bloqueo.renovar();
                    } catch (const ConversionFallida& c) {
                        // The camera's own bytes are what it recorded: they are the evidence
                        // when they could not be made into an MP4.
                        guardado = c.original;
                        bloqueoCrudo.emplace(guardado);
                        procedencia.intentos = r.intento;
                        procedencia.reanudadaEn = r.anteriores;
                        if (r.reanudadaEn >= 0)
                            procedencia.reanudadaEn << r.reanudadaEn;
                        base = conExtension(original, QFileInfo(guardado).suffix());
                        nombre = nombreLibre(sub, base, QTime::currentTime());
                        procedencia.notas << QStringLiteral("no se pudo convertir a MP4 (") + c.description
                                                 + QStringLiteral("); este es el fichero original de la cámara");
                        estado = QStringLiteral("descargado sin convertir: ") + c.description;
                    }
                    // The lock made the file: a routine that wrote nothing leaves it empty.
                    if (QFileInfo(guardado).size() == 0)
                        throw ErrorCamara(QStringLiteral("la cámara no envió ningún dato"));
                    huella = seguidor.terminar(guardado);
                    if (!huella)
                        throw ErrorCamara(QStringLiteral("no se pudo leer lo descargado"));
                } else {
                    huella = copiarConHuella(f->dato, temporal, alMainHilo);
                }
                const QString final = asentar(guardado, sub, nombre, base, procedencia, inicio,
                                              QDateTime::currentDateTimeUtc(), *huella);
                if (guardado != temporal)
                    QFile::remove(temporal);
                temporalEnCurso(QString());
                enVentana([this, f, final, estado] {
                    descargados << final;
                    f->marcado = false;
                    f->estado = estado;
                    recargarLista();
                });
            } catch (const std::exception& error) {
                // No partial file stays behind, under any name, a kept raw download included.
                QFile::remove(temporal);
                QFile::remove(guardado);
                QFile::remove(temporalDescarga(temporal));
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
    // "Todos los canales" on a recorder records its first camera, and the record says so.
    const int canal = canalElegido() > 0 || origen->canales.size() < 2 ? canalElegido() : origen->canales.first().numero;
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
        limpiarParciales(carpeta);
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
        QString final, fallo, corto;
        {
            const BloqueoParcial bloqueo(temporal);
            SeguidorHash seguidor(temporal);
            const QDateTime inicio = QDateTime::currentDateTimeUtc();
            try {
                const bool hecho = o.grabarRTSP(*origen, *ruta, segundos, temporal, conversor, alMainHilo, parar);
                if (!hecho || !QFileInfo::exists(temporal) || QFileInfo(temporal).size() == 0)
                    throw ErrorCamara(QString());
                procedencia.detenidoAlCerrar = parar.stop_requested();
                // A stream that froze or dropped ends as quietly as one that ran its time:
                // only the file itself says how much it holds.
                procedencia.segundosGrabados = o.duracion ? o.duracion(ffprobe, temporal) : std::nullopt;
                const int grabados = qRound(procedencia.segundosGrabados.value_or(segundos));
                if (segundos - procedencia.segundosGrabados.value_or(segundos) > 2.0 && !procedencia.detenidoAlCerrar) {
                    corto = QStringLiteral(" (") + QString::number(grabados) + QStringLiteral(" s de ")
                        + QString::number(segundos) + QLatin1Char(')');
                    procedencia.notas << QStringLiteral("solo se grabaron ") + QString::number(grabados)
                                             + QStringLiteral(" s de los ") + QString::number(segundos)
                                             + QStringLiteral(" s pedidos: el directo se cortó o se quedó parado");
                }
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
        enVentana([this, final, fallo, corto, nota] {
            bloquear(false);
            progresoFin();
            if (fallo.isEmpty()) {
                descargados << final;
                lCuenta->setText(QStringLiteral("Grabado") + corto + QStringLiteral(": ") + final + nota);
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

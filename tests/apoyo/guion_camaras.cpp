#include "apoyo/guion_camaras.h"

#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QThread>

OrigenPtr equipoGuion(const QString& ip, const QString& familia, const QList<int>& puertos)
{
    auto o = std::make_shared<Origen>(QStringLiteral("red"), ip, ip, familia + QStringLiteral(" · puertos"));
    o->ip = ip;
    o->familia = familia;
    o->puertos = puertos;
    return o;
}

OrigenPtr carpetaGuion(const QString& ruta, const QString& tipo)
{
    return std::make_shared<Origen>(tipo, QFileInfo(ruta).fileName(), ruta, QStringLiteral("Carpeta · ") + ruta);
}

FicheroPtr grabacionGuion(const OrigenPtr& origen, const QString& nombre, std::optional<QDateTime> fecha,
                          int64_t tamano, const QString& dato)
{
    const QString d = dato.isEmpty() ? nombre : dato;
    return std::make_shared<Fichero>(nombre, fecha, tamano, QStringLiteral("/sd/") + d, origen, d);
}

QStringList GuionCamaras::llamadas() const
{
    QMutexLocker l(&m);
    return registro;
}

void GuionCamaras::anotar(const QString& linea)
{
    QMutexLocker l(&m);
    registro << linea;
}

bool GuionCamaras::fallarIntento(const QString& dato, const QString& destino, Reanudacion& r)
{
    const QStringList fallos = fallosPorIntento.value(dato);
    const int n = int(fallos.size());
    QFile f(destino);
    if (!n || !f.open(QIODevice::ReadWrite))
        return false;
    r.desde = r.intento > 1 ? f.size() : 0;
    r.reanudadaEn = r.desde > 0 ? r.desde : -1;
    f.resize(r.desde);
    f.seek(r.desde);
    const QByteArray datos = contenidos.value(dato);
    f.write(datos.mid(r.desde, datos.size() * std::min(r.intento, n + 1) / (n + 1) - r.desde));
    if (r.intento > n)
        return true;
    if (fallos[r.intento - 1].startsWith(QLatin1Char('!')))
        throw ErrorCamara(fallos[r.intento - 1].mid(1));
    throw ErrorTransitorio(fallos[r.intento - 1]);
}

void escribirPorPasos(const QString& ruta, const QByteArray& datos, int pasos, const Progreso& progreso,
                      const std::function<void()>& tras)
{
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw ErrorCamara(QStringLiteral("no se pudo crear ") + ruta);
    const qsizetype trozo = std::max<qsizetype>(1, (datos.size() + pasos - 1) / std::max(1, pasos));
    for (qsizetype hecho = 0; hecho < datos.size(); hecho += trozo) {
        f.write(datos.constData() + hecho, std::min(trozo, datos.size() - hecho));
        f.flush();
        if (progreso)
            progreso(int((hecho + trozo) * 100 / datos.size()));
        if (hecho == 0 && tras)
            tras();
    }
}

Operaciones GuionCamaras::operaciones()
{
    Operaciones o;
    o.buscarUnidades = [this] {
        anotar(QStringLiteral("buscarUnidades"));
        return unidades;
    };
    o.subcarpetas = [this](const QString& ruta) {
        anotar(QStringLiteral("subcarpetas ") + ruta);
        return subcarpetas.value(ruta);
    };
    o.tieneSubcarpetas = [this](const QString& ruta) { return !subcarpetas.value(ruta).isEmpty(); };
    o.listarUnidad = [this](const OrigenPtr& origen) {
        anotar(QStringLiteral("listarUnidad ") + origen->ruta);
        return videos.value(origen->ruta);
    };
    o.buscarRed = [this](const Progreso& progreso) {
        anotar(QStringLiteral("buscarRed"));
        for (int i = 1; i <= pasosBarrido; ++i)
            progreso(i * 100 / pasosBarrido);
        return equipos;
    };
    o.familia = [this](const QString& ip, const QList<int>& puertos) {
        QStringList p;
        for (int n : puertos)
            p << QString::number(n);
        anotar(QStringLiteral("familia ") + ip + QLatin1Char(' ') + p.join(QLatin1Char(',')));
        return std::pair<QString, QString>{familias.value(ip, QStringLiteral("desconocida")), QString()};
    };
    o.detectarFamilia = [this](const Origen& origen) {
        anotar(QStringLiteral("detectarFamilia ") + origen.ip + QLatin1Char(' ') + origen.usuario
               + QLatin1Char(' ') + origen.clave);
        return identificaciones.value(origen.ip, {QStringLiteral("desconocida"), QString()});
    };
    for (const QString& familia : {QStringLiteral("hikvision"), QStringLiteral("dahua"), QStringLiteral("vstarcam"),
                                   QStringLiteral("ftp")}) {
        o.listar[familia] = [this, familia](const OrigenPtr& origen, const Consulta& c) {
            const auto v = c.ventana.value_or(std::pair<QDateTime, QDateTime>());
            anotar(QStringLiteral("listar %1 %2 %3").arg(familia, origen->ip, c.periodo)
                   + (c.ventana ? ' ' + v.first.toString(Qt::ISODate) + ' ' + v.second.toString(Qt::ISODate) : QString())
                   + (c.canal > 0 ? QStringLiteral(" canal %1").arg(c.canal) : QString()));
            if (erroresListado.contains(familia))
                throw ErrorCamara(erroresListado.value(familia));
            const auto listado = listados.value(familia);
            return Listado{listado ? listado(origen) : QList<FicheroPtr>(), cortesListado.value(familia), {}, canales.value(familia)};
        };
        o.descargar[familia] = [this, familia](const FicheroPtr& f, const QString& destino, const QString&,
                                               const Progreso& progreso, Reanudacion& r) {
            anotar(QStringLiteral("descargar ") + familia + QLatin1Char(' ') + f->dato);
            if (alEmpezar)
                alEmpezar();
            if (fallarIntento(f->dato, destino, r))
                return;
            if (erroresDescarga.contains(f->dato)) {
                escribirPorPasos(destino, "a medias", 1, progreso);
                throw ErrorCamara(erroresDescarga.value(f->dato));
            }
            const QByteArray datos = contenidos.value(f->dato, QByteArray("contenido de ") + f->dato.toUtf8());
            escribirPorPasos(destino, datos, pasosDescarga, progreso, trasPrimerTrozo);
            if (reescribeCabeza && !datos.isEmpty()) {
                QFile g(destino);
                if (g.open(QIODevice::ReadWrite)) {
                    g.write("Z");
                }
            }
        };
    }
    o.pausasReintento = {0, 0, 0};
    o.probarRTSP = [this](const Origen& origen, const QString& ffprobe, int canal) {
        anotar(QStringLiteral("probarRTSP %1 %2").arg(origen.ip, ffprobe) + (canal > 0 ? QStringLiteral(" canal %1").arg(canal) : QString()));
        return rutaRTSP;
    };
    o.grabarRTSP = [this](const Origen& origen, const QString& ruta, int segundos, const QString& salida,
                          const QString& ffmpeg, const Progreso& progreso, std::stop_token parar) {
        anotar(QStringLiteral("grabarRTSP ") + origen.ip + QLatin1Char(' ') + ruta + QLatin1Char(' ')
               + QString::number(segundos) + QLatin1Char(' ') + ffmpeg);
        if (alEmpezar)
            alEmpezar();
        escribirPorPasos(salida, directo, pasosDescarga, progreso, trasPrimerTrozo);
        if (directoHastaParar) {
            // A stream that goes on until the caller stops it; the end of the file is
            // written then, as ffmpeg does when interrupted.
            for (int i = 0; i < 1000 && !parar.stop_requested(); ++i)
                QThread::msleep(10);
            QFile f(salida);
            if (f.open(QIODevice::Append))
                f.write(parar.stop_requested() ? "fin" : "sin parar");
        }
        return QFileInfo::exists(salida);
    };
    o.duracion = [this](const QString&, const QString&) { return segundosGrabados; };
    return o;
}

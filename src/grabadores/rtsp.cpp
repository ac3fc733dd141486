#include "grabadores/rtsp.h"

#include "comun/ejecutar.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <csignal>

namespace {

constexpr double LIMITE_SONDEO_S = 8.0;
// Last resort for an ffmpeg that still runs long after the end (a stream that freezes
// leaves it waiting for the next packet for ever): an interrupt lets it close the file,
// a kill follows if it does not end.
constexpr qint64 MARGEN_VIGIA_MS = 30000;
constexpr qint64 GRACIA_INTERRUPCION_MS = 5000;

// Everything but ASCII letters and digits escaped, so no user name or password can
// break the address apart.
QString escapado(const QString& valor)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(valor, QByteArray(), "-._~"));
}

// What ffprobe and ffmpeg read on their standard input in place of the address, which
// carries the password and so must stay off their command lines (every local user can
// read those): a list of one input for the concat demuxer, opened over TCP. Control
// characters cannot end a line of the list early: they are escaped like any other.
QByteArray listaRTSP(const Origen& origen, const QString& ruta)
{
    QString url;
    for (const QChar c : urlRTSP(origen, ruta))
        url += c.unicode() < 0x20 || c.unicode() == 0x7f ? QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0'))
                                                           : QString(c);
    url.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return (QStringLiteral("ffconcat version 1.0\nfile '") + url +
            QStringLiteral("'\noption rtsp_transport tcp\n")).toUtf8();
}

// The arguments that make ffprobe or ffmpeg read that list, and through it nothing but
// the stream: no local file.
const QStringList ENTRADA_RTSP = {QStringLiteral("-protocol_whitelist"), QStringLiteral("pipe,rtsp,rtp,tcp,udp"),
                                  QStringLiteral("-f"), QStringLiteral("concat"), QStringLiteral("-safe"),
                                  QStringLiteral("0"), QStringLiteral("-i"), QStringLiteral("pipe:0")};

int porcentaje(qint64 transcurridoMs, int segundos)
{
    if (segundos <= 0)
        return 100;
    const double pct = std::trunc(double(transcurridoMs) / 1000.0 * 100.0 / segundos);
    return int(std::min(pct, 100.0));
}

} // namespace

const QStringList RUTAS_RTSP = {
    QStringLiteral("/"),
    QStringLiteral("/Streaming/Channels/101"),
    QStringLiteral("/cam/realmonitor?channel=1&subtype=0"),
    QStringLiteral("/live/ch00_0"),
    QStringLiteral("/h264_stream"),
    QStringLiteral("/onvif1"),
    QStringLiteral("/11"),
    QStringLiteral("/stream1"),
    QStringLiteral("/live"),
    QStringLiteral("/videoMain"),
    QStringLiteral("/ch01.264"),
    QStringLiteral("/user=admin_password=_channel=1_stream=0.sdp"),
};

QString urlRTSP(const Origen& origen, const QString& ruta)
{
    QString prefijo;
    if (!origen.usuario.isEmpty())
        prefijo = escapado(origen.usuario) + QLatin1Char(':') + escapado(origen.clave) +
                  QLatin1Char('@');
    return QStringLiteral("rtsp://") + prefijo + origen.ip + QStringLiteral(":554") + ruta;
}

QStringList rutasRTSP(const QString& familia, int canal)
{
    if (canal <= 0)
        return RUTAS_RTSP;
    const QString hikvision = QStringLiteral("/Streaming/Channels/%1").arg(canal * 100 + 1);
    const QString dahua = QStringLiteral("/cam/realmonitor?channel=%1&subtype=0").arg(canal);
    if (familia == QLatin1String("hikvision"))
        return {hikvision};
    if (familia == QLatin1String("dahua"))
        return {dahua};
    return {hikvision, dahua};
}

std::optional<QString> probarRTSP(const Origen& origen, const QString& ffprobe, const QStringList& rutas)
{
    // Credentials the device refused are not sent again: each path tried with them would
    // count one more failure against the account.
    if (origen.rechazo->motivo(origen.usuario, origen.clave))
        return std::nullopt;
    for (const QString& ruta : rutas) {
        const ResultadoProceso r = ejecutar(
            ffprobe,
            QStringList{QStringLiteral("-v"), QStringLiteral("error")} + ENTRADA_RTSP +
                QStringList{QStringLiteral("-show_entries"), QStringLiteral("stream=codec_type"),
                            QStringLiteral("-of"), QStringLiteral("csv=p=0")},
            LIMITE_SONDEO_S, listaRTSP(origen, ruta));
        if (r.estado == 0 && r.salida.contains(QLatin1String("video")))
            return ruta;
    }
    return std::nullopt;
}

bool grabarRTSP(const Origen& origen, const QString& ruta, int segundos, const QString& salida,
                const QString& ffmpeg, const std::function<void(int)>& progreso,
                std::stop_token parar)
{
    QProcess proceso;
    // A path, like every program this system runs: never looked up in PATH.
    proceso.setProgram(QFileInfo(ffmpeg).absoluteFilePath());
    // The MP4 is written in fragments, one per key frame, each flushed to disk at once,
    // so that whatever ends ffmpeg leaves a file that plays up to the last fragment:
    // while it waits for a frozen stream an interrupt cannot reach it, and a killed
    // ffmpeg never writes the index a plain MP4 keeps at its end. Cameras often send
    // G.711 sound, which MP4 cannot hold: it becomes AAC; the picture is copied untouched.
    // ffmpeg would read keys from its standard input (-nostdin): there it reads the list
    // that names the stream.
    proceso.setArguments(QStringList{QStringLiteral("-nostdin"), QStringLiteral("-y"), QStringLiteral("-loglevel"),
                                     QStringLiteral("error")} +
                         ENTRADA_RTSP +
                         QStringList{QStringLiteral("-t"), QString::number(segundos), QStringLiteral("-c"),
                                     QStringLiteral("copy"), QStringLiteral("-c:a"), QStringLiteral("aac"),
                                     QStringLiteral("-movflags"),
                                     QStringLiteral("+frag_keyframe+empty_moov+default_base_moof"),
                                     QStringLiteral("-flush_packets"), QStringLiteral("1"), salida});
    proceso.setStandardOutputFile(QProcess::nullDevice());
    proceso.setStandardErrorFile(QProcess::nullDevice());
    acabaConEsteProceso(proceso, SIGINT);
    proceso.start();
    if (!proceso.waitForStarted(-1))
        return false;
    proceso.write(listaRTSP(origen, ruta));
    proceso.waitForBytesWritten(-1);
    proceso.closeWriteChannel();

    QElapsedTimer reloj;
    reloj.start();
    const qint64 vigia = qint64(std::max(segundos, 0)) * 1000 + MARGEN_VIGIA_MS;
    qint64 interrumpido = -1;
    while (proceso.state() != QProcess::NotRunning) {
        proceso.waitForFinished(500);
        const qint64 ahora = reloj.elapsed();
        if (progreso)
            progreso(porcentaje(ahora, segundos));
        if (proceso.state() == QProcess::NotRunning)
            break;
        if (interrumpido < 0 && (ahora >= vigia || parar.stop_requested())) {
            ::kill(pid_t(proceso.processId()), SIGINT);
            interrumpido = ahora;
        } else if (interrumpido >= 0 && ahora - interrumpido >= GRACIA_INTERRUPCION_MS) {
            proceso.kill();
            proceso.waitForFinished(-1);
        }
    }
    return QFileInfo::exists(salida);
}

std::optional<double> duracionVideo(const QString& ffprobe, const QString& ruta)
{
    const ResultadoProceso r = ejecutar(ffprobe,
                                        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                         QStringLiteral("format=duration"), QStringLiteral("-of"),
                                         QStringLiteral("csv=p=0"), ruta},
                                        LIMITE_SONDEO_S * 4);
    bool bien = false;
    const double segundos = r.salida.trimmed().toDouble(&bien);
    if (r.estado != 0 || !bien || !std::isfinite(segundos) || segundos < 0)
        return std::nullopt;
    return segundos;
}

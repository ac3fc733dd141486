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
// A stream that freezes leaves ffmpeg waiting for the next packet for ever; past this
// much silence it gives up by itself and closes the MP4 properly. ffmpeg can only close
// the file when it ends on its own: a signal cannot wake a read that waits.
const QString SILENCIO_MAXIMO_US = QStringLiteral("10000000");
// Last resort for an ffmpeg that still runs long after the end: an interrupt lets it
// close the file; a kill follows if it does not.
constexpr qint64 MARGEN_VIGIA_MS = 30000;
constexpr qint64 GRACIA_INTERRUPCION_MS = 5000;

// Everything but ASCII letters and digits escaped, so no user name or password can
// break the address apart.
QString escapado(const QString& valor)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(valor, QByteArray(), "-._~"));
}

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

std::optional<QString> probarRTSP(const Origen& origen, const QString& ffprobe)
{
    for (const QString& ruta : RUTAS_RTSP) {
        const ResultadoProceso r = ejecutar(
            ffprobe,
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-rtsp_transport"),
             QStringLiteral("tcp"), QStringLiteral("-i"), urlRTSP(origen, ruta),
             QStringLiteral("-show_entries"), QStringLiteral("stream=codec_type"),
             QStringLiteral("-of"), QStringLiteral("csv=p=0")},
            LIMITE_SONDEO_S);
        if (r.estado == 0 && r.salida.contains(QLatin1String("video")))
            return ruta;
    }
    return std::nullopt;
}

bool grabarRTSP(const Origen& origen, const QString& ruta, int segundos, const QString& salida,
                const QString& ffmpeg, const std::function<void(int)>& progreso)
{
    QProcess proceso;
    // A path, like every program this system runs: never looked up in PATH.
    proceso.setProgram(QFileInfo(ffmpeg).absoluteFilePath());
    proceso.setArguments(
        {QStringLiteral("-y"), QStringLiteral("-loglevel"), QStringLiteral("error"),
         QStringLiteral("-rtsp_transport"), QStringLiteral("tcp"), QStringLiteral("-timeout"),
         SILENCIO_MAXIMO_US, QStringLiteral("-i"), urlRTSP(origen, ruta), QStringLiteral("-t"),
         QString::number(segundos), QStringLiteral("-c"), QStringLiteral("copy"),
         QStringLiteral("-movflags"), QStringLiteral("+faststart"), salida});
    // ffmpeg reads keys from its standard input; it must never wait for the terminal.
    proceso.setStandardInputFile(QProcess::nullDevice());
    proceso.setStandardOutputFile(QProcess::nullDevice());
    proceso.setStandardErrorFile(QProcess::nullDevice());
    proceso.start();
    if (!proceso.waitForStarted(-1))
        return false;

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
        if (interrumpido < 0 && ahora >= vigia) {
            ::kill(pid_t(proceso.processId()), SIGINT);
            interrumpido = ahora;
        } else if (interrumpido >= 0 && ahora - interrumpido >= GRACIA_INTERRUPCION_MS) {
            proceso.kill();
            proceso.waitForFinished(-1);
        }
    }
    return QFileInfo::exists(salida);
}

#include "apoyo/videos.h"

#include "apoyo/espacio_red.h"
#include "apoyo/programa.h"

#include <QFileInfo>
#include <QTemporaryDir>

namespace {

const QString FFMPEG = QStringLiteral("/usr/bin/ffmpeg");

QByteArray hacer(int fotogramas, const QStringList& codificacion, const QString& nombre) {
    QTemporaryDir dir;
    const QString salida = dir.filePath(nombre);
    QStringList args{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"),
                     QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("testsrc=size=160x120:rate=25"), QStringLiteral("-frames:v"),
                     QString::number(fotogramas)};
    args << codificacion << QStringLiteral("-y") << salida;
    if (orden(FFMPEG, args, 120000) != 0) return {};
    return leerArchivo(salida);
}

// Cameras send no B-frames: every frame's decoding order is its display order.
const QStringList H264 = {QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-bf"),
                          QStringLiteral("0"), QStringLiteral("-g"), QStringLiteral("10"),
                          QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")};

}  // namespace

bool hayFfmpeg() {
    return QFileInfo(FFMPEG).isExecutable() && QFileInfo(QStringLiteral("/usr/bin/ffprobe")).isExecutable();
}

QByteArray videoCrudo(int fotogramas, bool hevc) {
    if (hevc)
        return hacer(fotogramas,
                     {QStringLiteral("-c:v"), QStringLiteral("libx265"), QStringLiteral("-x265-params"),
                      QStringLiteral("log-level=error:bframes=0:keyint=10"), QStringLiteral("-bsf:v"),
                      QStringLiteral("hevc_metadata=aud=insert"), QStringLiteral("-f"), QStringLiteral("hevc")},
                     QStringLiteral("v.h265"));
    return hacer(fotogramas,
                 H264 + QStringList{QStringLiteral("-bsf:v"), QStringLiteral("h264_metadata=aud=insert"),
                                    QStringLiteral("-f"), QStringLiteral("h264")},
                 QStringLiteral("v.h264"));
}

QByteArray videoMP4(int fotogramas) { return hacer(fotogramas, H264, QStringLiteral("v.mp4")); }

QList<QByteArray> fotogramasDe(const QByteArray& crudo, bool hevc) {
    // A delimiter is a start code and its NAL header: type 9 in H.264, 35 in H.265.
    const QByteArray delimitador = hevc ? QByteArray("\x00\x00\x01\x46", 4) : QByteArray("\x00\x00\x01\x09", 4);
    QList<qsizetype> cortes;
    for (qsizetype i = crudo.indexOf(delimitador); i >= 0; i = crudo.indexOf(delimitador, i + 1))
        cortes << (i > 0 && crudo[i - 1] == '\0' ? i - 1 : i);
    QList<QByteArray> res;
    for (qsizetype k = 0; k < cortes.size(); ++k) {
        const qsizetype fin = k + 1 < cortes.size() ? cortes[k + 1] : crudo.size();
        res << crudo.mid(cortes[k], fin - cortes[k]);
    }
    return res;
}

QByteArray bloqueHX(const char* etiqueta, const QByteArray& carga, std::optional<uint32_t> largo) {
    const uint32_t l = largo.value_or(uint32_t(carga.size()));
    QByteArray b(etiqueta, 4);
    for (int i = 0; i < 4; ++i) b += char((l >> (8 * i)) & 0xff);
    b += QByteArray("\x10\x27\x00\x00\x5a\x5a\x00\x00", 8);
    return b + carga;
}

QByteArray envolverHXVT(const QList<QByteArray>& fotogramas, bool conAudio) {
    QByteArray r = QByteArray("HXVT", 4) + QByteArray("\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00", 12);
    for (const QByteArray& f : fotogramas) {
        r += bloqueHX("HXVF", f);
        if (conAudio) r += bloqueHX("HXAF", QByteArray(164, '\x55'));
    }
    return r;
}

int fotogramasEn(const QString& ruta) {
    QString salida;
    const int r = orden(QStringLiteral("/usr/bin/ffprobe"),
                        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                         QStringLiteral("v:0"), QStringLiteral("-count_packets"), QStringLiteral("-show_entries"),
                         QStringLiteral("stream=nb_read_packets"), QStringLiteral("-of"),
                         QStringLiteral("csv=p=0"), ruta},
                        60000, &salida);
    bool ok = false;
    const int n = salida.trimmed().toInt(&ok);
    return r == 0 && ok ? n : -1;
}

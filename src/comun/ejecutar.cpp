#include "comun/ejecutar.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>

namespace {

// A child that ignores SIGTERM must not hang the caller for ever: after this grace
// period it is killed.
constexpr int kGraciaTerminarMs = 5000;

QString textoUtf8(const QByteArray& bytes)
{
    QStringDecoder decodificador(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString texto = decodificador.decode(bytes);
    if (decodificador.hasError())
        return QString();
    return texto;
}

} // namespace

ResultadoProceso ejecutar(const QString& programa, const QStringList& args,
                          std::optional<double> esperar)
{
    if (programa.isEmpty())
        return {-1, QString()};
    QProcess proceso;
    // An absolute path keeps QProcess from searching PATH for a bare name.
    proceso.setProgram(QFileInfo(programa).absoluteFilePath());
    proceso.setArguments(args);
    proceso.setStandardErrorFile(QProcess::nullDevice());
    proceso.setStandardInputFile(QProcess::nullDevice());
    proceso.start(QIODevice::ReadOnly);
    if (!proceso.waitForStarted(-1))
        return {-1, QString()};

    // QProcess drains the pipe while it waits, so a large output never fills it.
    if (esperar) {
        const double ms = *esperar * 1000.0;
        const int limite = ms <= 0 ? 0 : (ms >= 2.0e9 ? -1 : static_cast<int>(ms));
        if (!proceso.waitForFinished(limite) && proceso.state() != QProcess::NotRunning) {
            proceso.terminate();
            if (!proceso.waitForFinished(kGraciaTerminarMs)) {
                proceso.kill();
                proceso.waitForFinished(-1);
            }
            return {-2, QString()};
        }
    } else {
        proceso.waitForFinished(-1);
    }
    const QByteArray bytes = proceso.readAllStandardOutput();
    // For a child killed by a signal Qt reports the signal number as the exit code.
    return {proceso.exitCode(), textoUtf8(bytes)};
}

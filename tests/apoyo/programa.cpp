#include "apoyo/programa.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

QString rutaPrograma()
{
    return QStringLiteral(ZORV_BINARIO);
}

QByteArray leerArchivo(const QString& ruta)
{
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool escribirArchivo(const QString& ruta, const QByteArray& datos)
{
    QDir().mkpath(QFileInfo(ruta).path());
    QFile f(ruta);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(datos) == datos.size();
}

QString raizFuentes()
{
    return QStringLiteral(ZORV_RAIZ);
}

Corrida correr(const QStringList& args, int limiteMs, const QProcessEnvironment& entorno)
{
    QProcess p;
    p.setProcessEnvironment(entorno);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(rutaPrograma(), args);
    Corrida c;
    if (!p.waitForStarted(10000))
        return c;
    if (!p.waitForFinished(limiteMs)) {
        p.kill();
        p.waitForFinished(-1);
        return c;
    }
    c.estado = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    c.salida = p.readAllStandardOutput();
    c.errores = p.readAllStandardError();
    return c;
}

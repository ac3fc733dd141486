#include "apoyo_actualizador.h"

#include "apoyo/programa.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>

int sh(const QString& orden)
{
    QProcess p;
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), orden});
    p.waitForFinished(60000);
    return p.exitCode();
}

QString sha256Hex(const QByteArray& datos)
{
    return QString::fromLatin1(QCryptographicHash::hash(datos, QCryptographicHash::Sha256).toHex());
}

QString firmar(const QByteArray& mensaje)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/openssl"),
            {QStringLiteral("dgst"), QStringLiteral("-sha256"), QStringLiteral("-sign"),
             QStringLiteral(ZORV_CLAVE_PRUEBAS)});
    p.write(mensaje);
    p.closeWriteChannel();
    p.waitForFinished(30000);
    return QString::fromLatin1(p.readAllStandardOutput().toHex());
}

QByteArray hacerPaquete(const QMap<QString, QByteArray>& archivos, const OpcionesPaquete& op)
{
    QTemporaryDir t;
    const QString n = t.path() + QStringLiteral("/ZorvPlayer");
    QByteArray manifiesto;
    for (auto it = archivos.begin(); it != archivos.end(); ++it) {
        escribirArchivo(n + QLatin1Char('/') + it.key(), it.value());
        if (it.key() == op.omitir)
            continue;
        const QString digesto = it.key() == op.falsear ? sha256Hex("otra cosa") : sha256Hex(it.value());
        manifiesto += (digesto + QStringLiteral("  ") + it.key() + QLatin1Char('\n')).toUtf8();
    }
    if (!op.sobrante.isEmpty())
        manifiesto += (sha256Hex("x") + QStringLiteral("  ") + op.sobrante + QLatin1Char('\n')).toUtf8();
    manifiesto += (op.equipo + QLatin1Char('\n')).toUtf8();
    escribirArchivo(n + QStringLiteral("/.firma/manifiesto"), manifiesto);
    escribirArchivo(n + QStringLiteral("/.firma/manifiesto.sig"),
             (op.firmarManifiesto ? firmar(manifiesto) : firmar("otro")).toLatin1());
    sh(QStringLiteral("chmod +x '%1/AppRun' 2>/dev/null; cd '%2' && tar -czf paquete.tar.gz ZorvPlayer")
           .arg(n, t.path()));
    return leerArchivo(t.path() + QStringLiteral("/paquete.tar.gz"));
}

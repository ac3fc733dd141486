#include "grabadores/descargas.h"

#include "grabadores/modelo.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

QString temporalDescarga(const QString& destino) {
    const qsizetype barra = destino.lastIndexOf(QLatin1Char('/'));
    const qsizetype punto = destino.lastIndexOf(QLatin1Char('.'));
    // A dot that starts the name ("/x/.mp4") or sits in a folder name is not an extension.
    const bool extension = punto > barra + 1;
    const QString t = (extension ? destino.left(punto) : destino) + QStringLiteral(".descarga");
    return t == destino ? destino + QStringLiteral(".descarga") : t;
}

void renombrarDescarga(const QString& temporal, const QString& destino) {
    if (std::rename(QFile::encodeName(temporal).constData(),
                    QFile::encodeName(destino).constData()) == 0)
        return;
    const QString motivo = QString::fromLocal8Bit(std::strerror(errno));
    QFile::remove(temporal);
    throw ErrorCamara(QStringLiteral("no se pudo guardar ") + destino + QStringLiteral(": ") + motivo);
}

QString componenteSeguro(QString nombre) {
    for (QChar& c : nombre)
        if (c == QLatin1Char('/') || c.unicode() < 0x20 || c.unicode() == 0x7f) c = QLatin1Char('_');
    if (nombre.isEmpty() || nombre == QLatin1String(".") || nombre == QLatin1String(".."))
        nombre.prepend(QLatin1Char('_'));
    return nombre;
}

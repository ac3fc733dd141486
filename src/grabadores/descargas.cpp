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

bool esControl(QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7f && u <= 0x9f) || u == 0x2028 || u == 0x2029;
}

QString componenteSeguro(QString nombre, QChar sustituto) {
    for (QChar& c : nombre)
        if (esControl(c) || c == QLatin1Char('/')) c = sustituto;
    if (nombre.isEmpty() || nombre.startsWith(QLatin1Char('.'))) nombre.prepend(sustituto);
    return nombre;
}

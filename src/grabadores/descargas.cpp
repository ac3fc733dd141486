#include "grabadores/descargas.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

QString rutaTemporal(const QString& destino) {
    const qsizetype barra = destino.lastIndexOf(QLatin1Char('/'));
    const qsizetype punto = destino.lastIndexOf(QLatin1Char('.'));
    // A dot that starts the name ("/x/.mp4") or sits in a folder name is not an extension.
    const bool extension = punto > barra + 1;
    const QString t = (extension ? destino.left(punto) : destino) + QStringLiteral(".descarga");
    return t == destino ? destino + QStringLiteral(".descarga") : t;
}

void colocar(const QString& temporal, const QString& destino) {
    if (std::rename(QFile::encodeName(temporal).constData(),
                    QFile::encodeName(destino).constData()) == 0)
        return;
    const QString motivo = QString::fromLocal8Bit(std::strerror(errno));
    QFile::remove(temporal);
    throw ErrorCamara(QStringLiteral("no se pudo guardar ") + destino + QStringLiteral(": ") + motivo);
}

void descargarA(const Origen& origen, const QString& url, const QString& metodo,
                const std::optional<QString>& cuerpo, const QString& destino,
                const Progreso& progreso) {
    const QString temporal = rutaTemporal(destino);
    // pedir removes its file itself whenever the answer is not a whole 200.
    pedir(origen, url, metodo, cuerpo, temporal, progreso, true);
    colocar(temporal, destino);
}

QString componenteSeguro(QString nombre) {
    for (QChar& c : nombre)
        if (c == QLatin1Char('/') || c.unicode() < 0x20 || c.unicode() == 0x7f) c = QLatin1Char('_');
    if (nombre.isEmpty() || nombre == QLatin1String(".") || nombre == QLatin1String(".."))
        nombre.prepend(QLatin1Char('_'));
    return nombre;
}

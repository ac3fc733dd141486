#include "grabadores/extensiones.h"

const QSet<QString> EXTENSIONES = {
    QStringLiteral(".mp4"),  QStringLiteral(".avi"),  QStringLiteral(".mov"),
    QStringLiteral(".mkv"),  QStringLiteral(".264"),  QStringLiteral(".h264"),
    QStringLiteral(".h265"), QStringLiteral(".265"),  QStringLiteral(".dav"),
    QStringLiteral(".ts"),   QStringLiteral(".mts"),  QStringLiteral(".m2ts"),
    QStringLiteral(".m2t"),  QStringLiteral(".mod"),  QStringLiteral(".tod"),
    QStringLiteral(".vob"),  QStringLiteral(".m4v"),  QStringLiteral(".webm"),
    QStringLiteral(".mxf"),  QStringLiteral(".dv"),   QStringLiteral(".mpg"),
    QStringLiteral(".mpeg"), QStringLiteral(".wmv"),  QStringLiteral(".flv"),
    QStringLiteral(".3gp"),  QStringLiteral(".asf"),  QStringLiteral(".jpg"),
    QStringLiteral(".jpeg"),
};

bool esGrabacion(const QString& nombre)
{
    const qsizetype punto = nombre.lastIndexOf(QLatin1Char('.'));
    if (punto < 0)
        return false;
    return EXTENSIONES.contains(nombre.mid(punto).toLower());
}

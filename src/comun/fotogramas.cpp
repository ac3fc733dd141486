#include "comun/fotogramas.h"

#include "comun/texto.h"

#include <QDir>
#include <QSaveFile>
#include <algorithm>

QStringList listarFotogramas(const QString& carpeta, const QString& extension)
{
    QStringList nombres;
    const QDir dir(carpeta);
    if (carpeta.isEmpty() || !dir.exists())
        return nombres;
    const QStringList todos =
        dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QString& nombre : todos)
        if (nombre.toLower().endsWith(extension))
            nombres << nombre;
    std::sort(nombres.begin(), nombres.end());
    return nombres;
}

std::optional<int> numeroDeFotograma(const QString& nombre)
{
    const qsizetype punto = nombre.lastIndexOf(QLatin1Char('.'));
    return enteroDecimal(punto < 0 ? nombre : nombre.left(punto));
}

void escribirProgreso(const QString& carpeta, int i, int n)
{
    QSaveFile archivo(QDir(carpeta).filePath(QStringLiteral("progreso.txt")));
    if (!archivo.open(QIODevice::WriteOnly))
        return;
    archivo.write(QByteArray::number(i) + '/' + QByteArray::number(n));
    archivo.commit();
}

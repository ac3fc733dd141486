// "progreso.txt" is replaced by name: whatever stands there (a link to a file elsewhere, a
// dangling link) is swapped for a plain file, and nothing is written through it.
#include "apoyo/programa.h"
#include "comun/fotogramas.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Progreso, SeReemplazaElNombreNuncaLoQueEnlaza)
{
    enum class Hay { enlaceAArchivo, enlaceRoto, carpeta, nada };
    struct Caso {
        const char* nombre;
        Hay hay;
        bool escrito;
    };
    const Caso casos[] = {
        {"enlace a un archivo de fuera", Hay::enlaceAArchivo, true},
        {"enlace roto", Hay::enlaceRoto, true},
        {"una carpeta con ese nombre", Hay::carpeta, false},
        {"nada", Hay::nada, true},
    };
    for (const Caso& k : casos) {
        QTemporaryDir fotogramas, fuera;
        const QString progreso = fotogramas.filePath(QStringLiteral("progreso.txt"));
        const QString destino = fuera.filePath(QStringLiteral("importante.txt"));
        if (k.hay == Hay::enlaceAArchivo) {
            ASSERT_TRUE(escribirArchivo(destino, "no tocar"));
        }
        if (k.hay == Hay::enlaceAArchivo || k.hay == Hay::enlaceRoto) {
            ASSERT_TRUE(QFile::link(destino, progreso));
        }
        if (k.hay == Hay::carpeta) {
            ASSERT_TRUE(QDir(fotogramas.path()).mkdir(QStringLiteral("progreso.txt")));
        }

        escribirProgreso(fotogramas.path(), 3, 7);

        const QFileInfo info(progreso);
        EXPECT_FALSE(info.isSymLink()) << k.nombre;
        if (k.escrito) {
            EXPECT_TRUE(info.isFile()) << k.nombre;
            EXPECT_EQ(leerArchivo(progreso), QByteArray("3/7")) << k.nombre;
        }
        EXPECT_EQ(leerArchivo(destino), k.hay == Hay::enlaceAArchivo ? QByteArray("no tocar") : QByteArray())
            << k.nombre;
        EXPECT_EQ(QFile::exists(destino), k.hay == Hay::enlaceAArchivo) << k.nombre;
        // No temporary file is left behind, whatever happened.
        EXPECT_EQ(QDir(fotogramas.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{QStringLiteral("progreso.txt")})
            << k.nombre;
    }
}

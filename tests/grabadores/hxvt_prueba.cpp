// The raw block container: which blocks give video, where the walk stops.
#include "apoyo/programa.h"
#include "apoyo/videos.h"
#include "grabadores/hxvt.h"

#include <QBuffer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(Hxvt, BloquesDeVideo) {
    const QByteArray cabecera = QByteArray("HXVT", 4) + QByteArray(12, '\0');
    const QByteArray a = bloqueHX("HXVF", "aaaa"), b = bloqueHX("HXVF", "bb"),
                     audio = bloqueHX("HXAF", QByteArray(40, 'x'));
    const struct {
        const char* caso;
        QByteArray datos;
        int64_t bloques;
        QByteArray video;
    } casos[] = {
        {"vacío", {}, 0, {}},
        {"solo la cabecera", cabecera, 0, {}},
        {"vídeo con audio entre medias", cabecera + a + audio + b + audio, 2, "aaaabb"},
        {"sin cabecera de fichero", a + b, 2, "aaaabb"},
        {"otro bloque HX saltado por su largo", a + bloqueHX("HXIF", "iiii") + b, 2, "aaaabb"},
        {"último bloque cortado", a + b.left(b.size() - 1), 1, "aaaa"},
        {"largo declarado más allá del final", a + bloqueHX("HXVF", "bb", 3), 1, "aaaa"},
        {"audio cortado también para", a + audio.left(30) + b, 1, "aaaa"},
        {"largo cero para", a + bloqueHX("HXVF", {}) + b, 1, "aaaa"},
        {"etiqueta desconocida para", a + bloqueHX("ABCD", "zz") + b, 1, "aaaa"},
        {"menos de 8 bytes al final", a + "HXVF123", 1, "aaaa"},
        {"cabecera de fichero al final, corta", a + "HXVT0123456", 1, "aaaa"},
        {"otro bloque que sale del final", a + bloqueHX("HXZZ", "z", 5000) + b, 1, "aaaa"},
        // A length of 4 GiB - 1 on a short file: no arithmetic may wrap around.
        {"largo máximo", a + bloqueHX("HXVF", "x", 0xffffffffu), 1, "aaaa"},
        {"otro bloque de largo máximo", a + bloqueHX("HXQQ", "x", 0xffffffffu) + b, 1, "aaaa"},
    };
    // The same through windows of a few bytes: headers and payloads cross their edges.
    for (const qint64 ventana : {qint64(4 * 1024 * 1024), qint64(16), qint64(17), qint64(23)})
        for (const auto& c : casos) {
            SCOPED_TRACE(std::string(c.caso) + ", ventana " + std::to_string(ventana));
            QBuffer entrada, salida;
            entrada.setData(c.datos);
            ASSERT_TRUE(entrada.open(QIODevice::ReadOnly));
            ASSERT_TRUE(salida.open(QIODevice::WriteOnly));
            EXPECT_EQ(desHXVT(entrada, salida, ventana), c.bloques);
            EXPECT_EQ(salida.data(), c.video);
        }
}

TEST(Hxvt, BloquesMayoresQueLaVentanaDeLectura) {
    // Payloads larger than the reader's window, and skipped blocks just as large.
    QByteArray grande(9 * 1024 * 1024 + 3, '\0');
    for (qsizetype i = 0; i < grande.size(); ++i) grande[i] = char(i * 7 + i / 1000);
    const QByteArray datos = bloqueHX("HXAF", grande) + bloqueHX("HXVF", grande) +
                             bloqueHX("HXVF", "fin") + bloqueHX("HXVF", grande).chopped(1);
    QTemporaryDir tmp;
    ASSERT_TRUE(escribirArchivo(tmp.filePath("v.264"), datos));
    QFile entrada(tmp.filePath("v.264")), salida(tmp.filePath("v.h264"));
    ASSERT_TRUE(entrada.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    ASSERT_TRUE(salida.open(QIODevice::WriteOnly));
    EXPECT_EQ(desHXVT(entrada, salida), 2);
    salida.close();
    EXPECT_EQ(leerArchivo(tmp.filePath("v.h264")), grande + "fin");
}

TEST(Hxvt, DesdeMemoriaSiempreCreaElFichero) {
    QTemporaryDir tmp;
    const QString destino = tmp.filePath("v.h264");
    ASSERT_TRUE(escribirArchivo(destino, "de antes"));
    EXPECT_EQ(desHXVT(QByteArray("no es un contenedor"), destino), 0);
    EXPECT_TRUE(QFileInfo::exists(destino));
    EXPECT_EQ(QFileInfo(destino).size(), 0);
    EXPECT_EQ(desHXVT(bloqueHX("HXVF", "12") + bloqueHX("HXVF", "34"), destino), 2);
    EXPECT_EQ(leerArchivo(destino), QByteArray("1234"));
    EXPECT_EQ(desHXVT(QByteArray(), tmp.filePath("no/hay/carpeta.h264")), -1);
}

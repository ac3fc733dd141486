#include "comun/ajustes.h"

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString archivoCon(const QTemporaryDir& dir, const QByteArray& contenido)
{
    const QString ruta = dir.filePath("ajustes.json");
    QFile f(ruta);
    f.open(QIODevice::WriteOnly);
    f.write(contenido);
    return ruta;
}

} // namespace

TEST(Ajustes, sinArchivoValenLosValoresPorDefecto)
{
    QTemporaryDir dir;
    const Ajustes a(dir.filePath("no-existe.json"));
    EXPECT_EQ(a.s("actualizaciones"), "manual");
    EXPECT_EQ(a.s("capturas_dir"), "");
    EXPECT_EQ(a.s("formato"), "jpg");
    EXPECT_EQ(a.n("calidad_jpg"), 95);
    EXPECT_TRUE(a.b("metadatos_txt"));
    EXPECT_TRUE(a.b("avisar_hora"));
    EXPECT_TRUE(a.b("preguntar_caso"));
    EXPECT_EQ(a.n("rafaga_segundos"), 2);
    EXPECT_FALSE(a.b("rafaga_auto"));
    EXPECT_EQ(a.datos.value("pospuesta").toObject().value("version").toString(), "");
    EXPECT_EQ(a.datos.size(), 10);
}

TEST(Ajustes, elArchivoSePoneEncimaYLasClavesAjenasSobrevivenAlGuardar)
{
    QTemporaryDir dir;
    const QString ruta = archivoCon(dir, "{\"formato\":\"png\",\"extra\":5}");
    Ajustes a(ruta);
    EXPECT_EQ(a.s("formato"), "png");
    EXPECT_EQ(a.n("calidad_jpg"), 95);
    a.datos["calidad_jpg"] = 80;
    ASSERT_TRUE(a.guardar());
    const Ajustes b(ruta);
    EXPECT_EQ(b.n("extra"), 5);
    EXPECT_EQ(b.n("calidad_jpg"), 80);
    EXPECT_EQ(b.s("formato"), "png");
}

TEST(Ajustes, lecturasTipadasConSusReservas)
{
    QTemporaryDir dir;
    Ajustes a(archivoCon(dir, "{\"calidad_jpg\":\"80\",\"rafaga_auto\":1,\"avisar_hora\":0,"
                              "\"metadatos_txt\":2,\"preguntar_caso\":\"true\",\"formato\":7,"
                              "\"rafaga_segundos\":true}"));
    EXPECT_EQ(a.n("calidad_jpg"), 0);
    EXPECT_TRUE(a.b("rafaga_auto"));
    EXPECT_FALSE(a.b("avisar_hora"));
    EXPECT_FALSE(a.b("metadatos_txt"));
    EXPECT_FALSE(a.b("preguntar_caso"));
    EXPECT_EQ(a.s("formato"), "");
    EXPECT_EQ(a.n("rafaga_segundos"), 1.0);
    EXPECT_EQ(a.n("no-existe"), 0);
    EXPECT_FALSE(a.b("no-existe"));
    a.datos["rafaga_auto"] = 2;
    EXPECT_FALSE(a.b("rafaga_auto"));
}

TEST(Ajustes, unaRaizQueNoEsObjetoSeIgnora)
{
    QTemporaryDir dir;
    const Ajustes a(archivoCon(dir, "[1,2,3]"));
    EXPECT_EQ(a.s("formato"), "jpg");
    EXPECT_EQ(a.datos.size(), 10);
}

TEST(Ajustes, rutaVaciaDaLosValoresPorDefectoYNoSePuedeGuardar)
{
    const Ajustes a(QString{});
    EXPECT_EQ(a.n("calidad_jpg"), 95);
    EXPECT_FALSE(a.guardar());
}

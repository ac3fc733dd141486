#include "apoyo_texto.h"
#include "dialogos/modo_menu.h"
#include "dialogos/ventana_abrir.h"

#include <QAction>
#include <QFileDialog>
#include <gtest/gtest.h>

namespace {

QList<QAction*> acciones(double segundos, ReceptorMenu& r)
{
    static std::vector<std::unique_ptr<QMenu>> vivos;
    vivos.emplace_back(construirMenu(segundos, &r));
    return vivos.back()->actions();
}

} // namespace

TEST(Menu, ElementosSeparadoresEIdentificadores)
{
    ReceptorMenu r;
    const QList<QAction*> a = acciones(2.0, r);
    ASSERT_EQ(a.size(), 18);
    EXPECT_EQ(a[0]->text(), QStringLiteral("Lanzar ráfaga: una captura cada…"));
    EXPECT_FALSE(a[0]->isEnabled());
    const QStringList ids{"rafaga:1", "rafaga:2", "rafaga:3", "rafaga:5", "rafaga:10", "rafaga:30"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(a[1 + i]->data().toString(), ids[i]);
        EXPECT_EQ(a[1 + i]->isChecked(), i == 1);
    }
    EXPECT_EQ(a[2]->text(), QStringLiteral("      2 s   (ajuste actual)"));
    EXPECT_EQ(a[6]->text(), QStringLiteral("      30 s"));
    EXPECT_TRUE(a[7]->isSeparator());
    EXPECT_EQ(a[8]->data().toString(), QStringLiteral("recorte"));
    EXPECT_EQ(a[12]->data().toString(), QStringLiteral("anonimizar"));
    EXPECT_TRUE(a[13]->isSeparator());
    EXPECT_EQ(a[15]->text(), QStringLiteral("Cámaras y dispositivos…"));
    EXPECT_EQ(a[17]->data().toString(), QStringLiteral("ajustes"));

    a[15]->trigger();
    EXPECT_EQ(r.elegido, QStringLiteral("camaras"));
    a[6]->trigger();
    EXPECT_EQ(r.elegido, QStringLiteral("rafaga:30"));
    a[0]->trigger(); // disabled: cannot be chosen
    EXPECT_EQ(r.elegido, QStringLiteral("rafaga:30"));
}

TEST(Menu, SinIntervaloActual)
{
    ReceptorMenu r;
    const QList<QAction*> a = acciones(2.5, r);
    for (int i = 1; i <= 6; ++i) {
        EXPECT_FALSE(a[i]->isChecked());
        EXPECT_FALSE(a[i]->text().contains(QStringLiteral("ajuste actual")));
    }
}

TEST(Abrir, DosConfiguraciones)
{
    QFileDialog archivos;
    configurarAbrir(archivos, QStringLiteral("archivos"), QStringLiteral("/tmp"));
    EXPECT_EQ(archivos.fileMode(), QFileDialog::ExistingFiles);
    EXPECT_EQ(archivos.labelText(QFileDialog::Accept), QStringLiteral("Abrir"));

    QFileDialog carpeta;
    carpeta.setDirectory(QStringLiteral("/"));
    configurarAbrir(carpeta, QStringLiteral("carpeta"), QStringLiteral("/no/existe/ya"));
    EXPECT_EQ(carpeta.fileMode(), QFileDialog::Directory);
    EXPECT_EQ(carpeta.labelText(QFileDialog::Accept), QStringLiteral("Abrir carpeta"));
    EXPECT_EQ(carpeta.directory().absolutePath(), QStringLiteral("/"));
    configurarAbrir(carpeta, QStringLiteral("carpeta"), QStringLiteral("/usr"));
    EXPECT_EQ(carpeta.directory().absolutePath(), QStringLiteral("/usr"));

    EXPECT_EQ(lineasElegidas({QStringLiteral("/a b/ñ.mp4"), QStringLiteral("/c.mp4")}),
              QStringLiteral("/a b/ñ.mp4\n/c.mp4\n"));
}

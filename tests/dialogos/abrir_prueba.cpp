// The open dialog as the user sees it: sizes, types and dates in Spanish, nothing cut.
#include "apoyo/programa.h"
#include "dialogos/ventana_abrir.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <gtest/gtest.h>

TEST(Abrir, ColumnasEnterasYFechasEnEspanol)
{
    QTemporaryDir dir;
    const QString nombre = QStringLiteral("grabación cámara 1.mp4");
    const QString video = dir.filePath(nombre);
    ASSERT_TRUE(escribirArchivo(video, QByteArray(2500000, '\0')));
    {
        QFile f(video);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime(QDate(2024, 5, 3), QTime(21, 7)),
                                  QFileDevice::FileModificationTime));
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Robo 2024")));

    QFileDialog panel;
    configurarAbrir(panel, QStringLiteral("archivos"), QString());
    panel.setDirectory(dir.path());
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    EXPECT_TRUE(panel.screen()->availableGeometry().contains(panel.frameGeometry()));
    auto* lista = panel.findChild<QTreeView*>(QStringLiteral("treeView"));
    ASSERT_NE(lista, nullptr);
    const QAbstractItemModel* m = lista->model();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m->rowCount(lista->rootIndex()) == 2; }, 10000));
    // What is drawn in a cell: Qt's text unless ours replaces it.
    const auto celda = [&](const QString& fila, int columna) {
        for (int r = 0; r < m->rowCount(lista->rootIndex()); ++r)
            if (m->index(r, 0, lista->rootIndex()).data().toString() == fila) {
                const QModelIndex i = m->index(r, columna, lista->rootIndex());
                return textoLegible(i).value_or(i.data().toString());
            }
        return QStringLiteral("(no está)");
    };
    EXPECT_EQ(celda(nombre, 1), QStringLiteral("2 MB"));
    EXPECT_EQ(celda(nombre, 3), QStringLiteral("03/05/2024 21:07"));
    EXPECT_EQ(celda(QStringLiteral("Robo 2024"), 1), QString());
    EXPECT_EQ(celda(QStringLiteral("Robo 2024"), 2), QStringLiteral("Carpeta"));
    // Size, type and date are read whole: each column is as wide as what it holds.
    QTest::qWait(200);
    for (int c = 1; c <= 3; ++c)
        EXPECT_GE(lista->header()->sectionSize(c),
                  std::max(static_cast<const QAbstractItemView*>(lista)->sizeHintForColumn(c), lista->header()->sectionSizeHint(c)))
            << "columna " << c;
}

#include "dialogos/ventana_abrir.h"

#include "comun/salida.h"
#include "comun/texto.h"
#include "estilo/aplicacion.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLocale>
#include <QScreen>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTreeView>

std::optional<QString> textoLegible(const QModelIndex& indice)
{
    const auto* archivos = qobject_cast<const QFileSystemModel*>(indice.model());
    if (!archivos || !indice.isValid())
        return std::nullopt;
    switch (indice.column()) {
    case 1:
        return archivos->isDir(indice) ? QString() : tamanoLegible(archivos->size(indice));
    case 2:
        if (archivos->isDir(indice))
            return QStringLiteral("Carpeta");
        return std::nullopt;
    case 3:
        return archivos->lastModified(indice).toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm"));
    default:
        return std::nullopt;
    }
}

namespace {

// Only what is drawn changes: the chooser's model, its sorting and its completion of
// typed names stay Qt's own.
class ColumnasEnEspanol : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* opcion, const QModelIndex& indice) const override
    {
        QStyledItemDelegate::initStyleOption(opcion, indice);
        if (const auto texto = textoLegible(indice))
            opcion->text = *texto;
    }
};

} // namespace

void columnasLegibles(QFileDialog& panel)
{
    QSize tam(860, 520);
    if (const QScreen* pantalla = QGuiApplication::primaryScreen())
        tam = tam.boundedTo(pantalla->availableGeometry().size() - QSize(48, 48));
    panel.resize(tam);
    if (auto* lista = panel.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        lista->setItemDelegate(new ColumnasEnEspanol(lista));
        QHeaderView* cabecera = lista->header();
        cabecera->setStretchLastSection(false);
        cabecera->setSectionResizeMode(0, QHeaderView::Stretch);
        cabecera->setSectionResizeMode(1, QHeaderView::ResizeToContents);
        cabecera->setSectionResizeMode(2, QHeaderView::Interactive);
        cabecera->resizeSection(2, 150);
        cabecera->setSectionResizeMode(3, QHeaderView::ResizeToContents);
    }
    if (auto* division = panel.findChild<QSplitter*>(QStringLiteral("splitter")))
        division->setSizes({160, tam.width() - 160});
}

void configurarAbrir(QFileDialog& panel, const QString& que, const QString& inicial)
{
    // Qt's own chooser: the same look and behaviour on every desktop, and no portal
    // process that could outlive this run.
    panel.setOption(QFileDialog::DontUseNativeDialog, true);
    panel.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    panel.setAcceptMode(QFileDialog::AcceptOpen);
    // Qt ships its chooser in English; our users read Spanish.
    panel.setLabelText(QFileDialog::Reject, QStringLiteral("Cancelar"));
    panel.setLabelText(QFileDialog::LookIn, QStringLiteral("Buscar en:"));
    panel.setLabelText(QFileDialog::FileType, QStringLiteral("Tipo:"));
    if (que == QStringLiteral("carpeta")) {
        panel.setFileMode(QFileDialog::Directory);
        panel.setOption(QFileDialog::ShowDirsOnly, true);
        panel.setWindowTitle(QStringLiteral("Elige la carpeta del caso (o la carpeta con los vídeos)"));
        panel.setLabelText(QFileDialog::Accept, QStringLiteral("Abrir carpeta"));
        panel.setLabelText(QFileDialog::FileName, QStringLiteral("Carpeta:"));
        panel.setNameFilter(QStringLiteral("Carpetas (*)"));
        if (!inicial.isEmpty() && QFileInfo(inicial).isDir())
            panel.setDirectory(inicial);
    } else {
        panel.setFileMode(QFileDialog::ExistingFiles);
        panel.setWindowTitle(QStringLiteral("Elige los vídeos que quieres abrir"));
        panel.setLabelText(QFileDialog::Accept, QStringLiteral("Abrir"));
        panel.setLabelText(QFileDialog::FileName, QStringLiteral("Nombre:"));
        panel.setNameFilter(QStringLiteral("Todos los archivos (*)"));
    }
    columnasLegibles(panel);
}

QString lineasElegidas(const QStringList& rutas)
{
    QString texto;
    for (const QString& r : rutas)
        texto += r + QLatin1Char('\n');
    return texto;
}

void ventanaAbrir(const QStringList& args)
{
    const QString que = args.value(0, QStringLiteral("archivos"));
    const QString inicial = args.value(1);
    prepararApp();
    // The chooser's file types come from the MIME database in the default locale's
    // language; this run shows nothing else.
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    QFileDialog panel;
    configurarAbrir(panel, que, inicial);
    panel.show();
    panel.raise();
    panel.activateWindow();
    if (panel.exec() == QDialog::Accepted && !panel.selectedFiles().isEmpty())
        salir(0, lineasElegidas(panel.selectedFiles()));
    salir(1);
}

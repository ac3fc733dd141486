#include "dialogos/ventana_abrir.h"

#include "comun/salida.h"
#include "estilo/aplicacion.h"

#include <QFileDialog>
#include <QFileInfo>

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
    QFileDialog panel;
    configurarAbrir(panel, que, inicial);
    panel.show();
    panel.raise();
    panel.activateWindow();
    if (panel.exec() == QDialog::Accepted && !panel.selectedFiles().isEmpty())
        salir(0, lineasElegidas(panel.selectedFiles()));
    salir(1);
}

#pragma once
#include <QStringList>
#include <optional>

class QFileDialog;
class QModelIndex;

// Sets up the chooser: one folder ("carpeta", starting in `inicial` when it exists) or
// several files.
void configurarAbrir(QFileDialog& panel, const QString& que, const QString& inicial);

// Qt's chooser made readable for our users: sizes and dates in Spanish ("2 MB",
// "03/05/2024 21:07"), folders called "Carpeta", columns wide enough for what they hold,
// and a size that shows them, within the screen.
void columnasLegibles(QFileDialog& panel);

// What the chooser shows in the size, type or date column of a file-system model index;
// nothing where Qt's own text stays.
std::optional<QString> textoLegible(const QModelIndex& indice);

// The chosen paths as the player reads them: one per line, each with its line break.
QString lineasElegidas(const QStringList& rutas);

// Mode "abrir". Never returns.
[[noreturn]] void ventanaAbrir(const QStringList& argumentos);

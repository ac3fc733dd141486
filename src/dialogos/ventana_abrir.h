#pragma once
#include <QStringList>

class QFileDialog;

// Sets up the chooser: one folder ("carpeta", starting in `inicial` when it exists) or
// several files.
void configurarAbrir(QFileDialog& panel, const QString& que, const QString& inicial);

// The chosen paths as the player reads them: one per line, each with its line break.
QString lineasElegidas(const QStringList& rutas);

// Mode "abrir". Never returns.
[[noreturn]] void ventanaAbrir(const QStringList& argumentos);

#pragma once
#include <QStringList>

// Mode "ajustes": picks a dialog by the sub-mode word in argument 0; the settings
// window for any word it does not know. Never returns.
[[noreturn]] void ventanaAjustes(const QStringList& argumentos);

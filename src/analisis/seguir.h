#pragma once
#include <QStringList>

// Mode "seguir": follows a marked zone through a folder of PNG frames and prints one
// line per frame ("número x y ancho alto puntuación"), or "perdida N" when it loses it.
[[noreturn]] void seguirZona(const QStringList& args);

#pragma once
// Walking a device's listing page by page or folder by folder without throwing away what
// was read when a later step fails.
#include "grabadores/modelo.h"

#include <QString>
#include <functional>

// Runs one step of a listing's walk (a page, a folder). An error before anything was read
// is the listing's own and is thrown; after that, the listing keeps what it read, notes
// where it stopped and why ("se detuvo en " + donde + ": " + the message), and the step
// answers false: the walk ends there.
bool pasoListado(Listado& l, const QString& donde, const std::function<void()>& paso);

#pragma once
#include <functional>

// Creates the application object for a windowed mode (once) and sets the common look.
// Every window and alert stays on top of the player and raises itself when shown.
void prepararApp();

// What the window mode must still do when its display goes away (a killed X connection,
// a dying X server, a dropped remote session): put its files in order, on the main
// thread, before the run ends with status 1 and nothing on standard output. Nothing can
// be shown any more, and Qt's own way out (exit() while worker threads still run) would
// end in a crash.
void alPerderPantalla(std::function<void()> recoger);

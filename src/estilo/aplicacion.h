#pragma once

// Creates the application object for a windowed mode (once) and sets the common look.
// Every window and alert stays on top of the player and raises itself when shown.
void prepararApp();

#pragma once
#include <QString>

// The per-user data folder shared with the player ($XDG_DATA_HOME/ZorvPlayer, by
// default ~/.local/share/ZorvPlayer). Computed once; not created here.
const QString& carpetaDatos();

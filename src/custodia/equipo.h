#pragma once
// Who wrote a register entry: this program's version, the PC's host name and the user
// the program runs as.
#include <QString>

QString versionPrograma();
QString nombreEquipo();
QString usuarioEquipo();

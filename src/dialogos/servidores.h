#pragma once
// Where the maker lives on the web; a release build may point these elsewhere.
#include <QString>

inline const QString kDominioZORV = QStringLiteral("zorv.example");
inline const QString kPaginaProducto = QStringLiteral("https://zorv.example/apps.html#zorvplayer");
inline const QString kServidorActualizaciones = QStringLiteral("actualizaciones.zorv.example");

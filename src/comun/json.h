#pragma once
#include <QJsonObject>
#include <QString>
#include <optional>

// The object in the file, or nothing when it is missing, unreadable, not JSON or not
// an object at the top level.
std::optional<QJsonObject> leerJSON(const QString& ruta);

// Writes compact JSON with sorted keys, creating missing parent folders. The file is
// replaced atomically: a crash mid-save leaves the old file or the new one, never a
// truncated mix. False when the value cannot be encoded or the file cannot be written.
bool escribirJSON(const QJsonObject& datos, const QString& ruta);

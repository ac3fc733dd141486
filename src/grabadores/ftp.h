#pragma once
// Recordings on a recorder's FTP server, listed and downloaded through /usr/bin/curl.
// Both calls block the calling (background) thread.
#include "grabadores/modelo.h"

#include <QList>
#include <QString>
#include <functional>

// "ftp://" + the source's address + the path, percent-encoded; never any credentials.
QString urlFTP(const Origen& origen, const QString& ruta);

// Every recording on the server, walking folders depth-first from "/" down to five
// levels below it. A folder that cannot be listed (wrong password, time-out) adds
// nothing, so a refused login gives an empty list.
QList<FicheroPtr> listarFTP(const OrigenPtr& origen);

// Downloads the recording to `salida`, calling `progreso` with a percentage (it can pass
// 100 when the listing under-reported the size) twice a second. Throws ErrorCamara when
// curl fails; the partial file is removed then.
void descargarFTP(const Fichero& fichero, const QString& salida,
                  const std::function<void(int)>& progreso);

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

// One entry of a folder's listing as the server wrote it, in "ls -l" or in DOS style.
struct EntradaFTP {
    bool carpeta;
    QString nombre;
    QString tamano;  // the size's digits; empty for a folder
};
// The entries of one folder's listing in order; lines that are not UTF-8 or match
// neither style are left out.
QList<EntradaFTP> leerListadoFTP(const QByteArray& listado);
// The recording a file entry of the folder `carpeta` ("/" at both ends) stands for; null
// for a folder or a file that is no recording.
FicheroPtr ficheroFTP(const EntradaFTP& entrada, const QString& carpeta, const OrigenPtr& origen);

#pragma once
// Recordings on a recorder's FTP server, listed and downloaded through /usr/bin/curl.
// Both calls block the calling (background) thread.
#include "grabadores/modelo.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <stop_token>

// No byte for this long fails an FTP transfer, as it does a web one.
constexpr int INACTIVIDAD_FTP_S = 20;
// How long one listing may walk a server's folders, each of which costs a login.
constexpr int LIMITE_RECORRIDO_FTP_S = 300;

// "ftp://" + the source's address + the path, percent-encoded; never any credentials.
QString urlFTP(const Origen& origen, const QString& ruta);

// Every recording on the server, walking folders depth-first from "/" down to five
// levels below it; links to folders are followed once each, never back into a folder
// already read. A folder that cannot be listed (wrong password, time-out) adds nothing,
// so a refused login gives an empty list. A hostile or huge server cannot hold the
// caller: the walk stops at MAXIMO_GRABACIONES recordings, after `limiteS` seconds, or
// when `parar` is asked, and then returns what it found and says why in `corte`. Memory
// stays small whatever the size of a folder's listing: it is read as it arrives.
QList<FicheroPtr> listarFTP(const OrigenPtr& origen, std::stop_token parar = {},
                            QString* corte = nullptr, int limiteS = LIMITE_RECORRIDO_FTP_S);

// Downloads the recording to `salida`, calling `progreso` with a percentage (it can pass
// 100 when the listing under-reported the size) twice a second. Throws ErrorCamara when
// curl fails, when nothing arrives for `inactividadS` seconds and when fewer bytes than
// the listing gave arrived; the partial file is removed then.
void descargarFTP(const Fichero& fichero, const QString& salida,
                  const std::function<void(int)>& progreso, int inactividadS = INACTIVIDAD_FTP_S);

// One entry of a folder's listing as the server wrote it, in "ls -l" or in DOS style.
struct EntradaFTP {
    bool carpeta;
    QString nombre;   // bytes that are not UTF-8 kept as textoDeBytes keeps them
    QString tamano;   // the size's digits; empty for a folder and for a link
    QString enlace;   // what a symbolic link ("nombre -> enlace") points to; else empty
};
// One line of a listing, its line end removed; absent when it matches neither style.
std::optional<EntradaFTP> leerLineaFTP(const QByteArray& linea);
// The entries of one folder's listing in order.
QList<EntradaFTP> leerListadoFTP(const QByteArray& listado);
// The recording a file entry of the folder `carpeta` ("/" at both ends) stands for; null
// for a folder or a file that is no recording.
FicheroPtr ficheroFTP(const EntradaFTP& entrada, const QString& carpeta, const OrigenPtr& origen);

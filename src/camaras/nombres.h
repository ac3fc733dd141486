#pragma once
// The small decisions of the cameras window that need no window: where files go and what
// they are called, how typed numbers and addresses are read, which families to try, the
// order of the list and the help line of each family.
#include "grabadores/modelo.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>
#include <optional>
#include <utility>

// carpeta + "/" + nombre, without doubling a trailing slash.
QString unirRuta(const QString& carpeta, const QString& nombre);

// A name made safe as ONE visible path component: `limpio`, then leading dots (hidden
// files, "." and "..") and control characters become dashes, and an empty name becomes
// `siVacio`.
QString componenteSeguro(const QString& nombre, const QString& siVacio = QStringLiteral("-"));

// The case folder: base, then the case's own folder when there is a case.
QString carpetaCasoDe(const QString& base, const QString& caso);

// The case's camera folder: the case folder, then "camaras".
QString destinoDe(const QString& base, const QString& caso);

// The name a download gets in `carpeta`: `nombre` when free; else the stem + "-" + the time
// of day as HHmmss + the extension; if that is taken too, "-2", "-3"... after the time, so
// an earlier file of this or another run is never replaced.
QString nombreLibre(const QString& carpeta, const QString& nombre, const QTime& hora);

// `nombre` with its extension (the text after its last dot, a leading dot aside) replaced
// by `extension`, or given it when it has none.
QString conExtension(const QString& nombre, const QString& extension);

// "directo-" + the address made safe + "-" + local date and time + ".mp4".
QString nombreDirecto(const QString& ip, const QDateTime& ahora);

// Seconds typed for a live recording: 60 for anything but an optionally signed whole
// number, at most 3600, and anything below 6 becomes 5.
int duracionDirecto(const QString& texto);

// "addr:port" or "addr" typed by the user: the address and the port (80 by default, and
// when the digits do not fit an integer).
std::pair<QString, int> leerDireccion(const QString& texto);

// Whether recordings of this family can be listed and downloaded: "hikvision", "dahua",
// "vstarcam" or "ftp".
bool familiaConocida(const QString& familia);

// A known family is tried alone; anything else is tried as each of the four in turn.
QStringList familiasAProbar(const QString& familia);

// Newest first; recordings without a start time go last; equal dates keep their order.
QList<FicheroPtr> ordenarRecientes(QList<FicheroPtr> ficheros);

// The text of a network device's tree row: address, "  ·  ", family.
QString textoFilaRed(const Origen& origen);

// What the user should do with a network device of this family.
QString lineaAyuda(const QString& familia);

// A channel as the list and the channel menu show it: "7 · Entrada", or `sinNombre` with
// the number in it ("7", "Canal 7") when the device did not name it; empty for channel 0.
QString textoCanal(int numero, const QString& nombre, const QString& sinNombre = QStringLiteral("%1"));

// The sub-folder of a recorder's downloads for one of its channels: "canal-07". A device
// with a single channel keeps its files in the source's own folder.
QString carpetaCanal(int numero);

// A local date and time typed as day/month/year hours:minutes, seconds optional
// ("5/3/2024 14:10", "05/03/2024 14:10:30"); nothing for anything else.
std::optional<QDateTime> leerFechaHora(const QString& texto);
// "05/03/2024 14:10:30", as the dates dialog and the count line write them.
QString textoFechaHora(const QDateTime& fecha);

// The window typed in the dates dialog, or why it is not one.
struct VentanaEscrita {
    std::optional<std::pair<QDateTime, QDateTime>> ventana;
    QString problema;
};
VentanaEscrita leerVentana(const QString& desde, const QString& hasta);

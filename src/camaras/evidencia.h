#pragma once
// Files fit to be evidence: every recording is written under a hidden temporary name in
// its folder and only takes its final name once complete and flushed to disk, so a
// crash, a kill or a full disk never leaves a truncated file under a name the player
// would open. Beside each file a "<name>.txt" in Spanish says where it came from, when it
// was fetched, its size and its SHA-256.
#include "camaras/huella.h"
#include "grabadores/modelo.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// What the record says about where a file came from, taken on the main thread when the
// job starts (the sources are shared objects the window keeps changing).
struct Procedencia {
    QString tipo;       // "red", "unidad", "carpeta"
    QString nombre;     // the source's name
    QString direccion;  // the device's address, or the drive's or folder's path
    QString familia;
    QString modelo;     // when an identification gave one
    QString ubicacion;  // the recording's path or locator on the source
    std::optional<QDateTime> inicioGrabacion;
    int canal = 0;           // the recorder's camera input; 0 when the source has none
    QString nombreCanal;
    std::optional<qint64> desfaseReloj;  // device clock minus PC clock, ms, at listing time
    int segundosDirecto = 0;  // a live recording of this many seconds; 0 for a download
    bool detenidoAlCerrar = false;  // the window closed before the live recording's end
    int64_t tamanoEsperado = 0;  // a download: the size the listing gave; 0 when it gave none
    std::optional<double> segundosGrabados;  // a live recording: what the file holds
    QStringList notas;  // what else the reader must know of this file
    int intentos = 1;   // a download's tries, the last one whole
    QList<int64_t> reanudadaEn;  // where tries took up what earlier ones had kept
    QString carpetaCaso;  // whose chain-of-custody register gets the file; empty: none
};

// What the record says of the source alone (a live recording), and of one of its files.
Procedencia procedenciaDe(const Origen& origen, const QString& modelo);
Procedencia procedenciaDe(const Fichero& fichero, const QString& modelo);

// The device's clock against the PC's as the record says it: "3 min 12 s adelantado",
// "… atrasado", "desconocido" when the device did not say.
QString textoReloj(const std::optional<qint64>& desfase);

// "." + the name's stem + ".parcial" + its extension: hidden, and still ending in the
// extension that ffmpeg reads the output format from.
QString rutaTemporal(const QString& carpeta, const QString& nombre);

// Removes the partial files of ours (rutaTemporal's hidden ".parcial" names, and what
// the routines write beside them) that no live process is writing: a killed run's.
void limpiarParciales(const QString& carpeta);

QString textoRegistro(const QString& nombreFinal, const Procedencia& p, const QDateTime& inicio,
                      const QDateTime& fin, const Huella& h);

// Flushes the finished temporary file, moves it to `nombre` in `carpeta` (or, should that
// name have been taken meanwhile, to the next free one after `original`) without ever
// replacing a file, writes "<final name>.txt" and appends the file to the case's
// chain-of-custody register (p.carpetaCaso). Returns the final path. Throws
// ErrorCamara; the temporary file is then back in place for the caller to remove.
QString asentar(const QString& temporal, const QString& carpeta, const QString& nombre,
                const QString& original, const Procedencia& p, const QDateTime& inicio,
                const QDateTime& fin, const Huella& h);

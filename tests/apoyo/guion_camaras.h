#pragma once
// Scripted sources for the cameras window: drives, folders, devices, listings and
// downloads answered from tables, so the window can be driven in-process without any
// network. The operations capture the script: keep it alive longer than the window.
#include "camaras/operaciones.h"

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QMutex>
#include <QSemaphore>
#include <QStringList>
#include <functional>
#include <optional>

OrigenPtr equipoGuion(const QString& ip, const QString& familia, const QList<int>& puertos = {80, 554});
OrigenPtr carpetaGuion(const QString& ruta, const QString& tipo = QStringLiteral("unidad"));
FicheroPtr grabacionGuion(const OrigenPtr& origen, const QString& nombre,
                          std::optional<QDateTime> fecha = std::nullopt, int64_t tamano = 0,
                          const QString& dato = QString());

struct GuionCamaras {
    QList<OrigenPtr> unidades;
    QMap<QString, QList<OrigenPtr>> subcarpetas;  // by folder path
    QMap<QString, QList<FicheroPtr>> videos;      // what listarUnidad finds, by path
    QList<OrigenPtr> equipos;                     // what the sweep finds
    int pasosBarrido = 3;                         // progress calls of the sweep
    QMap<QString, QString> familias;              // familia() by address
    QMap<QString, std::pair<QString, QString>> identificaciones;  // by address
    // Per family: the recordings, or the message it throws (an absent family lists
    // nothing).
    QMap<QString, std::function<QList<FicheroPtr>(const OrigenPtr&)>> listados;
    QMap<QString, QString> erroresListado;
    QMap<QString, QStringList> cortesListado;  // why a family's listing stopped early
    QMap<QString, QList<Canal>> canales;        // the channels a family's listing finds
    QMap<QString, QByteArray> contenidos;       // download bytes by `dato`
    QMap<QString, QString> erroresDescarga;     // by `dato`
    // By `dato`, what each try throws after a further piece: ErrorTransitorio, ErrorCamara
    // for a "!text"; a try past the list completes. Tries after the first resume.
    QMap<QString, QStringList> fallosPorIntento;
    int pasosDescarga = 4;                      // writes (and progress calls) per file
    bool reescribeCabeza = false;               // ends by rewriting its first bytes, as ffmpeg does
    std::optional<QString> rutaRTSP;            // what probarRTSP finds
    QByteArray directo = QByteArray(50000, 'v');
    bool directoHastaParar = false;             // the live recording runs until asked to stop
    std::optional<double> segundosGrabados;     // what duracion reads of any file
    // Runs on the background thread at the start of each download and live recording;
    // a test can hold the job there.
    std::function<void()> alEmpezar;
    // Runs after the first piece of a file has been written.
    std::function<void()> trasPrimerTrozo;

    // Every call the window made, as "operation argument..." lines.
    QStringList llamadas() const;
    void anotar(const QString& linea);

    Operaciones operaciones();

private:
    bool fallarIntento(const QString& dato, const QString& destino, Reanudacion& r);
    mutable QMutex m;
    QStringList registro;
};

// Bytes written in `pasos` pieces with a progress call after each, and `tras` after the
// first.
void escribirPorPasos(const QString& ruta, const QByteArray& datos, int pasos, const Progreso& progreso,
                      const std::function<void()>& tras = {});

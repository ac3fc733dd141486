#pragma once
// Walking a device's listing page by page, folder by folder or channel by channel without
// throwing away what was read when a later step fails.
#include "grabadores/modelo.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>
#include <utility>

// What a listing is asked for: a period key of the window's menu or an exact window of
// local time, and on a recorder with several cameras one channel or all of them. A period
// key alone (the old way of asking) is a Consulta of every channel.
struct Consulta {
    Consulta(QString periodo = QStringLiteral("7 días")) : periodo(std::move(periodo)) {}
    Consulta(const char* periodo) : Consulta(QString::fromUtf8(periodo)) {}

    QString periodo;
    std::optional<std::pair<QDateTime, QDateTime>> ventana;  // when set, it rules over `periodo`
    int canal = 0;        // 0: every channel the device has
    // Requests in flight to one device at once: recorders have weak processors.
    int simultaneas = 2;
    // Channels searched so far and how many there are, from the listing's threads.
    std::function<void(int hechos, int total)> avance;

    // Start and end of what is asked.
    std::pair<QDateTime, QDateTime> fechas() const;
};

// Runs one step of a listing's walk (a page, a folder). An error before anything was read
// is the listing's own and is thrown; after that, the listing keeps what it read, notes
// where it stopped and why ("se detuvo en " + donde + ": " + the message), and the step
// answers false: the walk ends there.
bool pasoListado(Listado& l, const QString& donde, const std::function<void()>& paso);

// The channels a listing searches: the one asked for (with the device's name for it), or
// all of them.
QList<Canal> canalesPedidos(const QList<Canal>& canales, int canal);

// Searches each channel with `buscar`, `simultaneas` at a time, and joins what they found
// in channel order, each recording marked with its channel. A channel that fails does not
// hide the others: it becomes a line of `cortes` ("canales 3 y 5: la cámara respondió
// 500"). Throws the first error when no channel could be searched at all, and refused
// credentials at once: nothing more may be sent with them.
Listado porCanales(const QList<Canal>& canales, int simultaneas,
                   const std::function<Listado(const Canal&)>& buscar,
                   const std::function<void(int, int)>& avance = {});

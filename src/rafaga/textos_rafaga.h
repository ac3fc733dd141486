#pragma once
#include <QString>

// The texts of the burst gallery that depend on capture timing.

// A duration as "H:MM:SS" (65 s reads "0:01:05"; hours are not capped at 24). Fractions
// of a second are dropped, the way a clock shows them. Empty when `segundos` is not a
// finite number of a sensible size.
QString textoDuracion(double segundos);

// The local wall-clock time "HH:mm:ss" of a moment in seconds since 1970-01-01 UTC;
// empty when the moment cannot be a date.
QString textoHora(double segundosEpoca);

// The interval as the user typed it: "2" when whole, else its shortest decimal ("2.5").
QString textoIntervalo(double seg);

// Caption of capture `n`: the number, its offset into the video and its time of day,
// three spaces apart ("31   0:01:00   00:01:00").
QString leyendaCaptura(int n, double seg, double base);

// Window header: "Ráfaga: 1800 capturas, una cada 2 s".
QString tituloRafaga(qsizetype n, double seg);

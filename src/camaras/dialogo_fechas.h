#pragma once
// "Elegir fechas…": the start and end of the window of time to list, in local time.
#include <QDateTime>
#include <optional>
#include <utility>

// Asks for the window, starting from `propuesta`; nothing when the user cancels. "Aceptar"
// only takes two readable dates with the start first.
std::optional<std::pair<QDateTime, QDateTime>> pedirVentanaFechas(const std::pair<QDateTime, QDateTime>& propuesta);

#pragma once
#include <QString>

// How a number field reads what the user typed: the leading number, ignoring what
// follows ("95 %" is 95, "2,5" is 2); 0 when the text does not start with one.
double valorEntero(const QString& texto);
double valorDecimal(const QString& texto);

// A number as a field shows it: "2", "2.5", "0.5" (point, whatever the locale).
QString textoNumero(double v);

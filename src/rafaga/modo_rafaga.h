#pragma once
#include <QString>

// Mode "ajustes rafaga": the burst gallery over `carpeta`, captures `seg` seconds apart,
// the first at `base` seconds since 1970 UTC. Prints the marked numbers and exits 0
// after "Guardar elegidas"; nothing and 1 otherwise. Never returns.
[[noreturn]] void modoRafaga(const QString& carpeta, double seg, double base);

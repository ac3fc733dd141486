#pragma once
// The cameras window's side of the case's chain-of-custody register: what it knows of a
// file it has just put into the case, turned into a register entry.
#include "camaras/evidencia.h"

// Appends the entry of `final` (in place, its record "<final>.txt" written) to the
// register of `p.carpetaCaso`. Returns the reason in Spanish when it could not.
QString anotarEnCustodia(const QString& final, const Procedencia& p, const QDateTime& inicio,
                         const QDateTime& fin, const Huella& h);

// Rewrites the case's report after a batch; what the window adds to its result line: nothing,
// or why the report could not be written.
QString informeTrasLote(const QString& carpetaCaso);

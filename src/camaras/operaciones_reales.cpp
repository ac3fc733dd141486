// The one place where the cameras window meets the recorder routines. Whatever this
// build lacks stays empty, and the window answers in Spanish that it cannot do it yet.
#include "camaras/operaciones.h"

#include "grabadores/identificar.h"

// Still to wire when their routines are part of the build (the window already calls
// each of these entries):
//   buscarUnidades, subcarpetas, tieneSubcarpetas, listarUnidad  (drives and folders)
//   listar / descargar for "hikvision", "dahua", "vstarcam", "ftp"
//   probarRTSP, grabarRTSP                                        (live stream)
Operaciones operacionesReales()
{
    Operaciones o;
    o.buscarRed = [](const Progreso& progreso) { return buscarRed(progreso); };
    o.familia = [](const QString& ip, const QList<int>& puertos) { return familia(ip, puertos); };
    o.detectarFamilia = [](const Origen& origen) { return detectarFamilia(origen); };
    return o;
}

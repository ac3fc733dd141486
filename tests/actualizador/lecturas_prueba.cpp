// What the updater reads from the server and from a package, taken on its own: the
// listing tar prints, the signed manifest, latest.json.
#include "actualizador/actualizador.h"

#include "apoyo/impresion.h"

#include <gtest/gtest.h>

namespace {

struct CasoListado {
    const char* nombre;
    const char* listado;
    bool seguro;
};

const CasoListado kListados[] = {
    {"carpeta y archivo", "drwxr-xr-x 0/0 0 2024-03-05 14:07 \"ZorvPlayer/\"\n"
                          "-rwxr-xr-x 0/0 9 2024-03-05 14:07 \"ZorvPlayer/AppRun\"\n", true},
    {"escapes de tar", "-rw-r--r-- 0/0 5 2024-03-05 14:07 \"ZorvPlayer/a\\303\\261o \\\"x\\\"\"\n", true},
    {"enlace hacia dentro", "lrwxrwxrwx 0/0 0 2024-03-05 14:07 \"ZorvPlayer/l\" -> \"lib/x.so\"\n", true},
    {"vacío", "", false},
    {"fuera de la carpeta", "-rw-r--r-- 0/0 5 2024-03-05 14:07 \"ZorvPlayer/../x\"\n", false},
    {"otra carpeta", "-rw-r--r-- 0/0 5 2024-03-05 14:07 \"Otro/x\"\n", false},
    {"enlace absoluto", "lrwxrwxrwx 0/0 0 2024-03-05 14:07 \"ZorvPlayer/l\" -> \"/etc/passwd\"\n", false},
    {"enlace que sube", "lrwxrwxrwx 0/0 0 2024-03-05 14:07 \"ZorvPlayer/l\" -> \"../../x\"\n", false},
    {"enlace duro fuera", "hrw-r--r-- 0/0 0 2024-03-05 14:07 \"ZorvPlayer/h\" link to \"etc/x\"\n", false},
    {"dispositivo", "crw-r--r-- 0/0 1,3 2024-03-05 14:07 \"ZorvPlayer/null\"\n", false},
    // A line whose name is not quoted must be refused without reading before the line.
    {"nombre sin comillas", "-rw-r--r-- 0/0 5 2024-03-05 14:07 ZorvPlayer/a\n", false},
    {"enlace sin destino", "lrwxrwxrwx 0/0 0 2024-03-05 14:07 \"ZorvPlayer/l\" -> x\n", false},
    {"comillas sin cerrar", "-rw-r--r-- 0/0 5 2024-03-05 14:07 \"ZorvPlayer/a\\\n", false},
};

TEST(Lecturas, ListadoDelPaquete)
{
    for (const CasoListado& c : kListados)
        EXPECT_EQ(listadoSeguro(QString::fromUtf8(c.listado)), c.seguro) << c.nombre;
}

} // namespace

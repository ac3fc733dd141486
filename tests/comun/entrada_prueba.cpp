#include "apoyo/programa.h"

#include <gtest/gtest.h>

namespace {

void esperarUso(const QStringList& args)
{
    const Corrida c = correr(args);
    EXPECT_EQ(c.estado, 64) << args.join(' ').toStdString();
    EXPECT_TRUE(c.salida.isEmpty());
    EXPECT_EQ(c.errores, QByteArray("uso: zorv-ventanas ajustes|camaras|actualizador|abrir …\n"));
}

} // namespace

TEST(Entrada, sinPalabraOPalabraDesconocidaDaElUsoY64)
{
    esperarUso({});
    esperarUso({"Ajustes"});
    esperarUso({"desconocido", "a", "b"});
    esperarUso({""});
    esperarUso({"SEGUIR", "/tmp", "0", "0", "10", "10"});
}

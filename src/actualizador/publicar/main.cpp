// zorv-publicar: the maker's tool that turns a player's folder into an update.
#include "actualizador/publicar.h"

#include <QFile>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 5 || argc > 6) {
        std::fputs("uso: zorv-publicar CARPETA_DEL_PROGRAMA VERSION CLAVE_PRIVADA.pem SALIDA [DIRECCION]\n", stderr);
        return 64;
    }
    const auto arg = [&](int i) { return i < argc ? QFile::decodeName(argv[i]) : QString(); };
    const Publicacion r = publicar(arg(1), arg(2), arg(3), arg(4), arg(5));
    for (const QString& aviso : r.avisos)
        std::fprintf(stderr, "aviso: %s\n", aviso.toLocal8Bit().constData());
    if (!r.error.isEmpty()) {
        std::fprintf(stderr, "zorv-publicar: %s\n", r.error.toLocal8Bit().constData());
        return 1;
    }
    std::printf("%s\n%s\n", QFile::encodeName(r.paquete).constData(), QFile::encodeName(r.ultima).constData());
    return 0;
}

// The settings file the player shares with us, read through the settings store.
#include "apoyo.h"
#include "comun/ajustes.h"

#include <QJsonDocument>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// One in-memory file for every run, so the store reads through its real path.
int archivoEnMemoria()
{
    static const int fd = memfd_create("ajustes.json", 0);
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const int fd = archivoEnMemoria();
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, datos, largo, 0) != ssize_t(largo))
        std::abort();
    const Ajustes a(QStringLiteral("/proc/self/fd/%1").arg(fd));
    static const QJsonObject defectos = Ajustes::valoresPorDefecto();
    for (auto it = defectos.begin(); it != defectos.end(); ++it) {
        EXIGIR(a.datos.contains(it.key()));
        a.s(it.key());
        // A switch reads as on only from true or the number 1.
        EXIGIR(!a.b(it.key()) || a.n(it.key()) == 1.0);
    }
    // What was read is written back unchanged: keys we do not know survive a save.
    const QByteArray escrito = QJsonDocument(a.datos).toJson(QJsonDocument::Compact);
    EXIGIR(QJsonDocument::fromJson(escrito).object() == a.datos);
    return 0;
}

// The listing of one folder as an FTP server sends it (Unix "ls -l" or DOS lines), and
// the recordings its file entries stand for.
#include "apoyo.h"
#include "grabadores/extensiones.h"
#include "grabadores/ftp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    static const OrigenPtr origen = std::make_shared<Origen>(
        QStringLiteral("red"), QStringLiteral("ftp"), QStringLiteral("10.77.0.5"), QString());
    static const QString carpeta = QStringLiteral("/grabaciones/");
    const QByteArray listado = bytesDe(datos, largo);
    const QList<EntradaFTP> entradas = leerListadoFTP(listado);
    EXIGIR(entradas.size() <= listado.count('\n') + listado.count('\r') + 1);
    for (const EntradaFTP& e : entradas) {
        EXIGIR(!e.nombre.isEmpty());
        EXIGIR(!e.nombre.contains(QLatin1Char('\n')) && !e.nombre.contains(QLatin1Char('\r')));
        // Folders and links carry no size; every other entry its digits.
        EXIGIR(!(e.carpeta && !e.enlace.isEmpty()));
        EXIGIR(e.tamano.isEmpty() == (e.carpeta || !e.enlace.isEmpty()));
        for (const QChar c : e.tamano)
            EXIGIR(c.isDigit());
        const FicheroPtr f = ficheroFTP(e, carpeta, origen);
        EXIGIR(!f == (e.carpeta || !esGrabacion(e.nombre)));
        if (!f)
            continue;
        // The server's name stays whole in the path it is asked for, and becomes one file
        // name of ours.
        EXIGIR(esComponenteSeguro(f->nombre));
        EXIGIR(f->dato == carpeta + e.nombre && f->ruta == f->dato);
        EXIGIR(f->tamano >= 0 && !f->fecha);
    }
    return 0;
}

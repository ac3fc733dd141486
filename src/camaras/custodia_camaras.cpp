#include "camaras/custodia_camaras.h"

#include "comun/sha256.h"
#include "custodia/informe.h"
#include "custodia/registro.h"

QString anotarEnCustodia(const QString& final, const Procedencia& p, const QDateTime& inicio,
                         const QDateTime& fin, const Huella& h)
{
    const QString prefijo = p.carpetaCaso.endsWith(QLatin1Char('/')) ? p.carpetaCaso : p.carpetaCaso + QLatin1Char('/');
    if (!final.startsWith(prefijo))
        return QStringLiteral("el fichero no está dentro de la carpeta del caso");
    EntradaCustodia e;
    e.fichero = final.mid(prefijo.size());
    e.clase = p.segundosDirecto > 0 ? QStringLiteral("directo")
        : p.tipo == QLatin1String("red") ? QStringLiteral("descarga")
                                         : QStringLiteral("copia");
    e.tipoOrigen = p.tipo;
    e.origen = p.nombre;
    e.direccion = p.direccion;
    e.familia = p.familia;
    e.modelo = p.modelo;
    e.canal = p.canal;
    e.nombreCanal = p.nombreCanal;
    e.desfaseRelojMs = p.desfaseReloj;
    e.ubicacion = p.ubicacion;
    if (p.inicioGrabacion)
        e.inicioGrabacion = horaLocalISO(*p.inicioGrabacion);
    e.segundosDirecto = p.segundosDirecto;
    e.detenidoAlCerrar = p.detenidoAlCerrar;
    e.intentos = p.intentos;
    e.reanudadaEn = p.reanudadaEn;
    e.inicioDescarga = inicio.toUTC().toString(Qt::ISODateWithMs);
    e.finDescarga = fin.toUTC().toString(Qt::ISODateWithMs);
    e.tamano = h.bytes;
    e.sha256 = h.sha256;
    // What is on disk now, as the check will read it.
    e.sha256Registro = sha256DeArchivo(final + QStringLiteral(".txt"));
    if (e.sha256Registro.isEmpty())
        return QStringLiteral("no se pudo leer el registro de la descarga");
    return anadirEntrada(p.carpetaCaso, e);
}

QString informeTrasLote(const QString& carpetaCaso)
{
    const QString fallo = escribirInforme(carpetaCaso);
    return fallo.isEmpty() ? QString() : QStringLiteral(" (no se pudo escribir el informe de custodia: ") + fallo + QLatin1Char(')');
}

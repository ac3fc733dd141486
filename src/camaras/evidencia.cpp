#include "camaras/evidencia.h"

#include "camaras/custodia_camaras.h"
#include "camaras/nombres.h"
#include "comun/nombres.h"
#include "comun/texto.h"
#include "custodia/entrada.h"
#include "grabadores/ayudas.h"
#include "grabadores/descargas.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTime>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString razon(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool aDisco(const QString& ruta, int banderas)
{
    const int fd = ::open(QFile::encodeName(ruta).constData(), banderas | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool bien = ::fsync(fd) == 0;
    ::close(fd);
    return bien;
}

// rename(2) that fails with EEXIST instead of replacing. File systems without the flag
// (some network shares) get a check first: racy, but only against other writers of the
// same case folder.
int moverSinReemplazar(const QString& de, const QString& a)
{
    const QByteArray d = QFile::encodeName(de), h = QFile::encodeName(a);
    if (::renameat2(AT_FDCWD, d.constData(), AT_FDCWD, h.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    if (QFileInfo::exists(a))
        return EEXIST;
    return ::rename(d.constData(), h.constData()) == 0 ? 0 : errno;
}

QString tipoTexto(const QString& tipo)
{
    if (tipo == QLatin1String("red"))
        return QStringLiteral("equipo en red");
    if (tipo == QLatin1String("carpeta"))
        return QStringLiteral("carpeta");
    return QStringLiteral("unidad");
}

QString horaLocal(const QDateTime& f)
{
    return fmt(QStringLiteral("yyyy-MM-dd HH:mm:ss' (hora local, UTC'xxx')'"), false).texto(f);
}

QString horaUTC(const QDateTime& f)
{
    return fmt(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.SSS'Z'"), true).texto(f);
}

} // namespace

Procedencia procedenciaDe(const Origen& o, const QString& modelo)
{
    Procedencia p;
    p.tipo = o.tipo;
    p.nombre = o.nombre;
    p.direccion = o.tipo == QLatin1String("red") ? o.ip : o.ruta;
    p.familia = o.familia;
    p.modelo = modelo;
    p.desfaseReloj = o.desfaseReloj;
    return p;
}

Procedencia procedenciaDe(const Fichero& f, const QString& modelo)
{
    Procedencia p = procedenciaDe(*f.origen, modelo);
    p.ubicacion = f.dato.isEmpty() ? f.ruta : f.dato;
    p.inicioGrabacion = f.fecha;
    p.canal = f.canal;
    p.nombreCanal = f.nombreCanal;
    p.tamanoEsperado = f.tamano;
    return p;
}

QString textoReloj(const std::optional<qint64>& desfase)
{
    if (!desfase)
        return QStringLiteral("desconocido");
    // Whole seconds: the reading itself is only as good as one request's round trip.
    const qint64 segundos = (*desfase + (*desfase < 0 ? -500 : 500)) / 1000;
    if (segundos == 0)
        return QStringLiteral("en hora (menos de 1 s de diferencia con el PC)");
    return textoDuracion(segundos) + (segundos > 0 ? QStringLiteral(" adelantado") : QStringLiteral(" atrasado"));
}

QString rutaTemporal(const QString& carpeta, const QString& nombre)
{
    const int punto = int(nombre.lastIndexOf(QLatin1Char('.')));
    const QString oculto = punto > 0
        ? QLatin1Char('.') + nombre.left(punto) + QStringLiteral(".parcial") + nombre.mid(punto)
        : QLatin1Char('.') + nombre + QStringLiteral(".parcial");
    return unirRuta(carpeta, oculto);
}

void limpiarParciales(const QString& carpeta)
{
    static const QRegularExpression nuestro(QStringLiteral("^\\..+\\.parcial(\\..*)?$"));
    for (const QString& nombre : nombresEnCarpeta(carpeta))
        if (nuestro.match(nombre).hasMatch())
            quitarSiAbandonado(unirRuta(carpeta, nombre));
}

QString textoRegistro(const QString& nombreFinal, const Procedencia& p, const QDateTime& inicio,
                      const QDateTime& fin, const Huella& h)
{
    QString t;
    auto linea = [&t](const QString& clave, const QString& valor) {
        t += clave + QStringLiteral(": ") + enUnaLinea(valor) + QLatin1Char('\n');
    };
    t += p.segundosDirecto > 0 ? QStringLiteral("Grabación del directo hecha con ZorvPlayer\n")
                               : QStringLiteral("Descarga hecha con ZorvPlayer\n");
    linea(QStringLiteral("Fichero"), nombreFinal);
    linea(QStringLiteral("Origen"), tipoTexto(p.tipo) + QStringLiteral(" «") + p.nombre + QStringLiteral("»"));
    linea(p.tipo == QLatin1String("red") ? QStringLiteral("Dirección") : QStringLiteral("Ruta del origen"),
          p.direccion);
    if (p.tipo == QLatin1String("red"))
        linea(QStringLiteral("Familia"), p.familia.isEmpty() ? QStringLiteral("sin identificar") : p.familia);
    if (!p.modelo.isEmpty())
        linea(QStringLiteral("Modelo"), p.modelo);
    if (p.tipo == QLatin1String("red"))
        linea(QStringLiteral("Reloj del equipo"), textoReloj(p.desfaseReloj));
    if (p.canal > 0)
        linea(QStringLiteral("Canal"), QString::number(p.canal));
    if (p.canal > 0 && !p.nombreCanal.isEmpty())
        linea(QStringLiteral("Nombre del canal"), p.nombreCanal);
    linea(QStringLiteral("Ubicación en el origen"), p.ubicacion);
    linea(QStringLiteral("Inicio de la grabación"),
          p.inicioGrabacion ? horaLocal(*p.inicioGrabacion) : QStringLiteral("desconocido"));
    if (p.segundosDirecto > 0)
        linea(QStringLiteral("Duración pedida"), QString::number(p.segundosDirecto) + QStringLiteral(" s"));
    if (p.detenidoAlCerrar)
        linea(QStringLiteral("Nota"), QStringLiteral("grabación detenida al cerrar la ventana, antes de la duración pedida"));
    for (const QString& nota : p.notas)
        linea(QStringLiteral("Nota"), nota);
    linea(QStringLiteral("Inicio de la descarga (UTC)"), horaUTC(inicio));
    linea(QStringLiteral("Fin de la descarga (UTC)"), horaUTC(fin));
    if (p.intentos > 1)
        linea(QStringLiteral("Intentos"), textoIntentos(p.intentos, p.reanudadaEn));
    linea(QStringLiteral("Tamaño"), QString::number(h.bytes) + QStringLiteral(" bytes"));
    if (p.segundosDirecto > 0)
        linea(QStringLiteral("Duración grabada"), p.segundosGrabados
                                                      ? QString::number(qRound(*p.segundosGrabados)) + QStringLiteral(" s")
                                                      : QStringLiteral("desconocida"));
    else
        linea(QStringLiteral("Tamaño esperado"), p.tamanoEsperado > 0
                                                     ? QString::number(p.tamanoEsperado) + QStringLiteral(" bytes")
                                                     : QStringLiteral("desconocido"));
    linea(QStringLiteral("SHA-256"), h.sha256);
    return t;
}

QString asentar(const QString& temporal, const QString& carpeta, const QString& nombre,
                const QString& original, const Procedencia& p, const QDateTime& inicio,
                const QDateTime& fin, const Huella& h)
{
    if (!aDisco(temporal, O_RDONLY))
        throw ErrorCamara(QStringLiteral("no se pudo guardar en disco: ") + razon(errno));
    QString elegido = nombre;
    QString final;
    for (int intento = 0;; ++intento) {
        final = unirRuta(carpeta, elegido);
        const int error = moverSinReemplazar(temporal, final);
        if (error == 0)
            break;
        if (error != EEXIST || intento >= 50)
            throw ErrorCamara(QStringLiteral("no se pudo dar nombre al fichero: ") + razon(error));
        elegido = nombreLibre(carpeta, original, QTime::currentTime());
    }
    QSaveFile registro(final + QStringLiteral(".txt"));
    if (!registro.open(QIODevice::WriteOnly)
        || registro.write(textoRegistro(elegido, p, inicio, fin, h).toUtf8()) < 0 || !registro.commit()) {
        const QString motivo = registro.errorString();
        ::rename(QFile::encodeName(final).constData(), QFile::encodeName(temporal).constData());
        throw ErrorCamara(QStringLiteral("no se pudo escribir el registro de la descarga: ") + motivo);
    }
    aDisco(carpeta, O_RDONLY | O_DIRECTORY);
    // After the names are on disk: the register never names a file a crash could take back.
    // A file in the case that the register does not name is one the check cannot vouch for.
    if (!p.carpetaCaso.isEmpty())
        if (const QString fallo = anotarEnCustodia(final, p, inicio, fin, h); !fallo.isEmpty()) {
            QFile::remove(final + QStringLiteral(".txt"));
            ::rename(QFile::encodeName(final).constData(), QFile::encodeName(temporal).constData());
            throw ErrorCamara(QStringLiteral("no se pudo anotar en el registro de custodia: ") + fallo);
        }
    return final;
}

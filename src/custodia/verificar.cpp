#include "custodia/verificar.h"

#include "comun/nombres.h"
#include "comun/salida.h"
#include "comun/sha256.h"
#include "comun/texto.h"
#include "custodia/dentro.h"
#include "custodia/entrada.h"
#include "custodia/informe.h"
#include "custodia/registro.h"

#include <QElapsedTimer>
#include <QFile>
#include <QList>

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kBloque = 1 << 20;

class Verificacion {
public:
    Verificacion(const std::function<void(const QString&)>& e, const std::function<void(int64_t, int64_t)>& a)
        : escribir(e), avance(a), bloque(kBloque, Qt::Uninitialized) {}

    int ejecutar(const QString& carpeta);

private:
    void problema(const QString& texto)
    {
        ++problemas;
        escribir(texto);
    }
    bool leerRegistro(int carpeta);
    void lineaLeida(const LineaRegistro& l);
    void comprobarAncla();
    void comprobarEntrada(int carpeta, int numero, const EntradaCustodia& e);
    std::optional<QString> comprobarFichero(int carpeta, const QString& rel, std::optional<int64_t> tamano,
                                            const QString& sha);
    QString resumen() const;

    const std::function<void(const QString&)>& escribir;
    const std::function<void(int64_t, int64_t)>& avance;
    QByteArray bloque;
    int problemas = 0;
    int lineas = 0;
    int ficheros = 0;
    QString previa = kCadenaInicial;  // SHA-256 of the line before
    std::optional<std::pair<int, QString>> ilegible;  // the line before could not be read, and why
    QList<std::pair<int, EntradaCustodia>> entradas;
    std::optional<AnclaInforme> ancla;
    QString cadenaAncla;  // SHA-256 of the line the report names
    int64_t total = 0, hechos = 0;
};

// A name from the register as it may be printed: on one line.
QString visible(const QString& t) { return enUnaLinea(t); }

int Verificacion::ejecutar(const QString& carpetaTexto)
{
    const Descriptor carpeta(::open(bytesDeTexto(carpetaTexto).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (carpeta < 0) {
        escribir(QStringLiteral("no se puede abrir la carpeta del caso ") + visible(carpetaTexto) + QStringLiteral(": ")
                 + razonSistema(errno));
        return 1;
    }
    if (!leerRegistro(carpeta))
        return 1;
    comprobarAncla();
    for (const auto& [numero, e] : entradas)
        if (rutaDelCaso(e.fichero))
            total += e.tamano;
    for (const auto& [numero, e] : entradas)
        comprobarEntrada(carpeta, numero, e);
    escribir(resumen());
    return problemas == 0 ? 0 : 1;
}

bool Verificacion::leerRegistro(int carpeta)
{
    const Descriptor reg(::openat(carpeta, QFile::encodeName(kNombreRegistro).constData(),
                                  O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (reg < 0 || ::fstat(reg, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool falta = reg < 0 && errno == ENOENT;
        escribir(falta ? QStringLiteral("no hay registro de custodia en esta carpeta")
                       : QStringLiteral("no se puede leer el registro de custodia: ")
                           + (reg < 0 ? razonSistema(errno) : QStringLiteral("no es un fichero normal")));
        return false;
    }
    // The report first: the register can only have grown since it was written.
    const Descriptor pagina(::openat(carpeta, QFile::encodeName(kNombreInforme).constData(),
                                     O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat sp {};
    if (pagina >= 0 && ::fstat(pagina, &sp) == 0 && S_ISREG(sp.st_mode)) {
        QByteArray inicio(4096, Qt::Uninitialized);
        const ssize_t n = ::pread(pagina, inicio.data(), size_t(inicio.size()), 0);
        ancla = anclaDeInforme(inicio.left(n > 0 ? n : 0));
    }
    // A window appending meanwhile would show its line half written; without the lock
    // (a read-only copy of the case) the register is read as it is.
    bloquearRegistro(reg, LOCK_SH, 5000);
    if (!leerLineas(reg, [this](const LineaRegistro& l) { lineaLeida(l); })) {
        escribir(QStringLiteral("no se puede leer el registro de custodia: ") + razonSistema(errno));
        return false;
    }
    if (ilegible)
        problema(QStringLiteral("registro alterado en la entrada %1: %2").arg(ilegible->first).arg(ilegible->second));
    return true;
}

void Verificacion::lineaLeida(const LineaRegistro& l)
{
    lineas = l.numero;
    if (ancla && l.numero == ancla->lineas)
        cadenaAncla = l.sha256;
    QString motivo = QStringLiteral("línea demasiado larga");
    std::optional<EntradaCustodia> e;
    if (!l.larga)
        e = entradaDeLinea(l.texto, &motivo);
    const bool encadena = e && e->anterior == previa;
    if (ilegible) {
        // Only the writer, ending a line torn by a crash, chains to a line it cannot read.
        if (encadena && l.terminada)
            escribir(QStringLiteral("aviso: la entrada %1 quedó a medias al interrumpirse una escritura; la entrada %2 lo tiene en cuenta")
                         .arg(ilegible->first)
                         .arg(l.numero));
        else
            problema(QStringLiteral("registro alterado en la entrada %1: %2").arg(ilegible->first).arg(ilegible->second));
        ilegible.reset();
    } else if (e && !encadena && l.terminada) {
        problema(l.numero == 1
                     ? QStringLiteral("registro alterado en la entrada 1: no es la primera que se escribió")
                     : QStringLiteral("registro alterado en la entrada %1: no es la que encadenó la entrada %2")
                           .arg(l.numero - 1)
                           .arg(l.numero));
    }
    if (!l.terminada)
        problema(QStringLiteral("entrada %1 incompleta: su escritura se interrumpió (las anteriores se comprueban igual)")
                     .arg(l.numero));
    else if (!e)
        ilegible = std::make_pair(l.numero, motivo);
    else
        entradas << std::make_pair(l.numero, *e);
    previa = l.sha256;
}

// The report names the register's length and last line when it was made; the register
// only grows, so a shorter register or another line there means entries were removed or
// changed at its end, which the chain alone cannot show.
void Verificacion::comprobarAncla()
{
    if (!ancla)
        return;
    if (ancla->lineas > lineas)
        problema(QStringLiteral("registro alterado: el informe de custodia cita %1 entradas y el registro tiene %2")
                     .arg(ancla->lineas)
                     .arg(lineas));
    else if (ancla->lineas > 0 && cadenaAncla != ancla->cadena)
        problema(QStringLiteral("registro alterado en la entrada %1: no es la que cita el informe de custodia").arg(ancla->lineas));
}

void Verificacion::comprobarEntrada(int carpeta, int numero, const EntradaCustodia& e)
{
    if (!rutaDelCaso(e.fichero)) {
        problema(QStringLiteral("registro alterado en la entrada %1: nombra algo fuera de la carpeta del caso: %2")
                     .arg(numero)
                     .arg(visible(e.fichero)));
        return;
    }
    ++ficheros;
    if (const std::optional<QString> p = comprobarFichero(carpeta, e.fichero, e.tamano, e.sha256))
        problema(*p);
    if (const std::optional<QString> p = comprobarFichero(carpeta, e.fichero + QStringLiteral(".txt"), std::nullopt,
                                                          e.sha256Registro))
        problema(*p);
}

std::optional<QString> Verificacion::comprobarFichero(int carpeta, const QString& rel, std::optional<int64_t> tamano,
                                                      const QString& sha)
{
    const QString nombre = visible(rel);
    const Descriptor fd(abrirDebajo(carpeta, rel));
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return QStringLiteral("falta: ") + nombre;
        if (errno == ELOOP)
            return QStringLiteral("no es un fichero normal: ") + nombre + QStringLiteral(" (un enlace simbólico)");
        return QStringLiteral("ilegible: ") + nombre + QStringLiteral(": ") + razonSistema(errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return QStringLiteral("no es un fichero normal: ") + nombre;
    if (tamano && st.st_size != *tamano) {
        hechos += *tamano;
        return QStringLiteral("modificado: %1 (%2 bytes; el registro dice %3)").arg(nombre).arg(st.st_size).arg(*tamano);
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    Sha256 suma;
    int64_t leido = 0;
    for (;;) {
        const ssize_t n = ::read(fd, bloque.data(), size_t(bloque.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return QStringLiteral("ilegible: ") + nombre + QStringLiteral(": ") + razonSistema(errno);
        if (n == 0)
            break;
        suma.anadir(bloque.constData(), n);
        leido += n;
        if (tamano && avance)
            avance(hechos + std::min(leido, *tamano), total);
    }
    if (tamano)
        hechos += *tamano;
    // Grown or shrunk while being read: not what was measured above.
    if (tamano && leido != *tamano)
        return QStringLiteral("modificado: %1 (%2 bytes; el registro dice %3)").arg(nombre).arg(leido).arg(*tamano);
    if (suma.hex() != sha)
        return QStringLiteral("modificado: ") + nombre;
    return std::nullopt;
}

QString Verificacion::resumen() const
{
    const QString cadena = lineas == 0 ? QStringLiteral("ninguna (registro vacío)") : previa;
    if (problemas == 0)
        return QStringLiteral("todo coincide: %1 entradas, %2 ficheros comprobados (%3); última cadena %4")
            .arg(lineas)
            .arg(ficheros)
            .arg(tamanoLegible(total))
            .arg(cadena);
    return QStringLiteral("%1 %2 en %3 entradas; última cadena %4")
        .arg(problemas)
        .arg(problemas == 1 ? QStringLiteral("problema") : QStringLiteral("problemas"))
        .arg(lineas)
        .arg(cadena);
}

} // namespace

int verificarCarpeta(const QString& carpeta, const std::function<void(const QString&)>& escribir,
                     const std::function<void(int64_t, int64_t)>& avance)
{
    return Verificacion(escribir, avance).ejecutar(carpeta);
}

void verificarCaso(const QStringList& argumentos)
{
    if (argumentos.size() != 1 || argumentos[0].isEmpty()) {
        aviso(QStringLiteral("uso: zorv-ventanas verificar CARPETA"));
        salir(64);
    }
    // Progress for folders that take a while: at most a line a second, from 64 MiB up.
    QElapsedTimer reloj;
    reloj.start();
    qint64 ultimo = 0;
    const auto avance = [&](int64_t hechos, int64_t total) {
        if (total < (int64_t(64) << 20) || reloj.elapsed() - ultimo < 1000)
            return;
        ultimo = reloj.elapsed();
        aviso(QStringLiteral("comprobando: %1 de %2 (%3 %)")
                  .arg(tamanoLegible(hechos), tamanoLegible(total))
                  .arg(hechos * 100 / total));
    };
    const int estado = verificarCarpeta(
        argumentos[0], [](const QString& linea) { escribirSalida(linea + QLatin1Char('\n')); }, avance);
    salir(estado);
}

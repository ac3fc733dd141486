#include "actualizador/actualizador.h"

#include "actualizador/descarga.h"
#include "actualizador/firma.h"
#include "comun/sha256.h"
#include "actualizador/paquete.h"
#include "actualizador/ultima.h"
#include "comun/json.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// A prepared package counts only while it is still there, whole.
bool yaPreparada(const QString& pendiente, const Ultima& ultima)
{
    const std::optional<QJsonObject> previo = leerJSON(pendiente);
    if (!previo || previo->value(QStringLiteral("version")).toString() != ultima.version
        || !previo->value(QStringLiteral("version")).isString())
        return false;
    const QFileInfo paquete(previo->value(QStringLiteral("dmg")).toString());
    return paquete.isFile() && !paquete.isSymLink()
        && sha256DeArchivo(paquete.filePath()) == ultima.sha256.toLower();
}

// Packages of other versions, and downloads a crashed run left half done, are of no
// further use once a newer package is ready.
void quitarOtrosPaquetes(const QString& u, const QString& p)
{
    const QFileInfoList viejos = QDir(u).entryInfoList(
        {QStringLiteral("ZorvPlayer-*.tar.gz"), QStringLiteral(".ZorvPlayer-*.tar.gz.*")},
        QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& viejo : viejos)
        if (viejo.filePath() != p)
            QFile::remove(viejo.filePath());
}

// The update folder is ours alone: a link found in place of one of our files was
// planted, and is replaced rather than written through. False when it was not written.
bool escribirPropio(const QJsonObject& datos, const QString& ruta)
{
    if (QFileInfo(ruta).isSymLink())
        QFile::remove(ruta);
    return escribirJSON(datos, ruta);
}

} // namespace

int comprobarActualizacion(const OpcionesActualizador& o, const QString& sub, const QString& u,
                           const std::function<void(const QString&)>& log)
{
    const QString base = o.argumentos.value(1);
    const QString instalada = o.argumentos.value(2, QStringLiteral("0.0.0"));
    const std::optional<QByteArray> cuerpo = descargar(base + QStringLiteral("/latest.json"),
                                                       QString(), o.permitirHttp, o.certificados);
    const Ultima ultima = cuerpo ? leerUltima(*cuerpo) : Ultima();
    if (ultima.estado == Ultima::Ilegible) {
        log(QStringLiteral("no se pudo leer latest.json"));
        return 1;
    }
    const QString disponible = u + QStringLiteral("/disponible.json");
    const QString pendiente = u + QStringLiteral("/pendiente.json");
    if (ultima.estado == Ultima::Incompleta || !masNueva(ultima.version, instalada)) {
        QFile::remove(disponible);
        QFile::remove(pendiente);
        return 0;
    }
    // The player learns of the version only through this file: a run that could not
    // write it found nothing for anyone.
    if (!escribirPropio({{QStringLiteral("version"), ultima.version}, {QStringLiteral("notas"), ultima.notas}},
                        disponible)) {
        log(QStringLiteral("no se pudo escribir disponible.json"));
        return 1;
    }
    const QString hay = QStringLiteral("hay ") + ultima.version + QStringLiteral(" (instalada ")
        + instalada + QStringLiteral("), ");
    if (sub == QLatin1String("consultar")) {
        log(hay + QStringLiteral("pendiente de que el usuario acepte"));
        return 0;
    }
    if (yaPreparada(pendiente, ultima))
        return 0;
    log(hay + QStringLiteral("descargando"));
    const QString p = u + QStringLiteral("/ZorvPlayer-") + ultima.version + QStringLiteral(".tar.gz");
    if (!descargar(ultima.url, p, o.permitirHttp, o.certificados)) {
        log(QStringLiteral("no se pudo descargar el paquete"));
        return 1;
    }
    const auto descartar = [&](const QString& mensaje) {
        log(mensaje);
        QFile::remove(p);
        return 1;
    };
    const QString digesto = sha256DeArchivo(p);
    if (digesto.isEmpty() || digesto != ultima.sha256.toLower())
        return descartar(QStringLiteral("sha256 no coincide, descartado"));
    if (!firmaValida(digesto, ultima.firma))
        return descartar(QStringLiteral("firma ZORV NO válida, descartado"));
    if (!paqueteSeguro(p))
        return descartar(QStringLiteral("el paquete no pasa la comprobación del sistema, descartado"));
    if (!escribirPropio({{QStringLiteral("version"), ultima.version}, {QStringLiteral("dmg"), p}}, pendiente))
        return descartar(QStringLiteral("no se pudo escribir pendiente.json, descartado"));
    quitarOtrosPaquetes(u, p);
    log(ultima.version + QStringLiteral(" verificada y preparada"));
    return 0;
}

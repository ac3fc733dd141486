#include "apoyo/servidor_ftp.h"

#include "apoyo/guion_servidor.h"
#include "apoyo/programa.h"
#include "apoyo/servidor_web.h"

ServidorFTP::ServidorFTP(OpcionesFTP opciones) : op(std::move(opciones)) {
    if (op.espacio.isEmpty()) puerto = puertoLibre();
    guion = std::make_unique<GuionServidor>(
        QStringLiteral("servidor_ftp.py"),
        QStringList{op.direccion, QString::number(puerto), op.usuario, op.clave, dir.path(),
                    op.dos ? QStringLiteral("dos") : QStringLiteral("unix"),
                    QString::number(op.bytesPorSegundo)},
        op.espacio);
}

ServidorFTP::~ServidorFTP() = default;

bool ServidorFTP::listo() const { return dir.isValid() && guion->listo(); }
QString ServidorFTP::error() const { return guion->error(); }
void ServidorFTP::parar() { guion->parar(); }

QString ServidorFTP::direccion() const {
    return puerto == 21 ? op.direccion : op.direccion + QLatin1Char(':') + QString::number(puerto);
}

void ServidorFTP::poner(const QString& ruta, const QByteArray& datos) const {
    escribirArchivo(dir.path() + QLatin1Char('/') + ruta, datos);
}

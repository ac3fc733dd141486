#pragma once
// Signed packages for the updater tests (the web server is tests/apoyo's lighttpd).
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

// Signs bytes with the development key; hex text.
QString firmar(const QByteArray& mensaje);
QString sha256Hex(const QByteArray& datos);

// Builds "ZorvPlayer/..." from the files given (relative path -> content), with a
// manifest signed by the development key unless told otherwise; returns the tar.gz.
struct OpcionesPaquete {
    bool firmarManifiesto = true;
    QString equipo = QStringLiteral("TeamIdentifier=Q7X2KM4ZRT");
    QString omitir;    // listed in the tree but not in the manifest
    QString falsear;   // listed with a wrong digest
    QString sobrante;  // listed but absent from the tree
};
QByteArray hacerPaquete(const QMap<QString, QByteArray>& archivos,
                        const OpcionesPaquete& op = OpcionesPaquete());

// Runs a shell command line; status.
int sh(const QString& orden);

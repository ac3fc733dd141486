#pragma once
// A loopback web server and signed packages for the updater tests.
#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

// Signs bytes with the development key; hex text.
QString firmar(const QByteArray& mensaje);
QString sha256Hex(const QByteArray& datos);

// lighttpd serving a temporary folder on 127.0.0.1.
class ServidorWeb {
public:
    ServidorWeb();
    ~ServidorWeb();
    bool enMarcha() const { return puerto_ > 0; }
    QString base() const;
    QString raiz() const { return docs_.path(); }
    void poner(const QString& nombre, const QByteArray& datos);

private:
    QTemporaryDir docs_, conf_;
    QProcess proceso_;
    int puerto_ = 0;
};

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

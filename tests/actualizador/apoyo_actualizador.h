#pragma once
// Signed packages and installed players for the updater tests (the web server is
// tests/apoyo's lighttpd).
#include "apoyo/programa.h"

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

// Signs bytes with the development key; hex text.
QString firmar(const QByteArray& mensaje);
QString sha256Hex(const QByteArray& datos);

// Builds "ZorvPlayer/..." from the files given (relative path -> content), with a
// manifest signed by the development key unless told otherwise; returns the tar.gz.
struct OpcionesPaquete {
    bool firmarManifiesto = true;
    QString equipo = QStringLiteral("TeamIdentifier=Q7X2KM4ZRT");
    QString version = QStringLiteral("2.0"); // the "Version=" line; none when empty
    QString omitir;    // listed in the tree but not in the manifest
    QString falsear;   // listed with a wrong digest (a link: with another target)
    QString sobrante;  // listed but absent from the tree
    QMap<QString, QString> enlaces; // symbolic links: relative path -> target text
    bool appRunEjecutable = true;
    QString orden; // a shell command run in the tree before packing
};
QByteArray hacerPaquete(const QMap<QString, QByteArray>& archivos,
                        const OpcionesPaquete& op = OpcionesPaquete());

// Runs a shell command line; status.
int sh(const QString& orden);

// An installed player A under a temporary root, a data folder beside it and the ways of
// running "aplicar" over them: in this process, or as the real program (with failures
// injected by the preloaded interceptor, or as an ordinary user).
class EscenarioAplicar : public ::testing::Test {
public:
    void SetUp() override;

    QString u() const { return datos + QStringLiteral("/update"); }
    QString p(const QString& version = QStringLiteral("2.0")) const
    {
        return u() + QStringLiteral("/ZorvPlayer-") + version + QStringLiteral(".tar.gz");
    }
    QString tmp() const { return raiz.path() + QStringLiteral("/tmp"); }
    QString log() const;
    QMap<QString, QByteArray> archivos(const QByteArray& version = "2.0") const;

    // Leaves the package where "comprobar" would have, with "pendiente.json" naming it.
    void preparar(const QByteArray& paquete, const QString& version = QStringLiteral("2.0"));

    int correr(std::function<int(const QString&, const QString&, bool)> mover = {});
    // The real program; `entorno` adds variables, `limiteArchivo` caps the size of any
    // file it or its children write (bytes, 0 for none).
    Corrida correrAparte(const QMap<QString, QString>& entorno = {}, qint64 limiteArchivo = 0,
                         bool usuarioComun = false);
    void configurarAparte(QProcess& proceso, const QMap<QString, QString>& entorno);
    void iniciarAparte(QProcess& proceso, const QMap<QString, QString>& entorno);

    // A stand-in for the running player: a process whose command line is A + "/usr/bin/mpv".
    void arrancarJugador(QProcess& jugador, const QString& segundos);

    // A still holds the player it had, nothing is left beside it and the update waits.
    void esperarSinCambios();
    // The folders and files next to A other than A itself.
    QStringList junto() const;

    QTemporaryDir raiz;
    QString a, marca, datos;
    qint64 maximoExpandido = 0; // the run's own bound when 0
};

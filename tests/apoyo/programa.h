#pragma once
// Running the built zorv-ventanas the way the player does.
#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct Corrida {
    int estado = -1;
    QByteArray salida;
    QByteArray errores;
};

QString rutaPrograma();
// A whole file's bytes; empty when it cannot be read.
QByteArray leerArchivo(const QString& ruta);
// Writes the file whole, creating its folders; false when it could not.
bool escribirArchivo(const QString& ruta, const QByteArray& datos);
QString raizFuentes();

// Runs the program with the mode word and arguments; gives up after `limiteMs`.
Corrida correr(const QStringList& args, int limiteMs = 60000,
               const QProcessEnvironment& entorno = QProcessEnvironment::systemEnvironment());

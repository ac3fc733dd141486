#include "camaras/ventana_camaras.h"

#include "camaras/camaras.h"
#include "comun/salida.h"
#include "estilo/aplicacion.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTimer>

ArgumentosCamaras argumentosCamaras(const QStringList& args, const std::optional<QString>& zorvBin)
{
    ArgumentosCamaras a;
    a.base = args.value(0);
    if (a.base.isEmpty())
        a.base = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation) + QStringLiteral("/ZorvPlayer");
    a.caso = args.value(1);
    if (args.size() >= 3)
        a.ffmpeg = args[2];
    else
        a.ffmpeg = zorvBin ? *zorvBin + QStringLiteral("/ffmpeg") : QStringLiteral("/usr/bin/ffmpeg");
    return a;
}

void ventanaCamaras(const QStringList& argumentos)
{
    const ArgumentosCamaras a = argumentosCamaras(
        argumentos, qEnvironmentVariableIsSet("ZORV_BIN") ? std::optional<QString>(qEnvironmentVariable("ZORV_BIN"))
                                                          : std::nullopt);
    prepararApp();
    auto* camaras = new Camaras(a.base, a.caso, a.ffmpeg, operacionesReales());
    alPerderPantalla([camaras] { camaras->recogerAntesDeSalir(); });
    camaras->ventana->mostrarDelante();
    QTimer::singleShot(0, camaras, [camaras] { camaras->buscarTodo(); });
    QApplication::exec();
    salir(1);
}

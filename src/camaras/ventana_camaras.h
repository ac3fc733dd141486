#pragma once
#include <QString>
#include <QStringList>
#include <optional>

struct ArgumentosCamaras {
    QString base;    // where the player keeps its cases
    QString caso;    // the current case, may be empty
    QString ffmpeg;  // full path of ffmpeg
};

// Arguments 0 to 2 with their defaults: the XDG videos folder + "/ZorvPlayer", no case,
// `zorvBin` + "/ffmpeg" when the player said where its programs are, else
// "/usr/bin/ffmpeg". An empty base counts as missing: it would put the case folder
// wherever the program happened to start.
ArgumentosCamaras argumentosCamaras(const QStringList& argumentos, const std::optional<QString>& zorvBin);

// Mode "camaras": the window, the sweep once the event loop turns, and the end of the run
// when the window closes. Never returns.
[[noreturn]] void ventanaCamaras(const QStringList& argumentos);

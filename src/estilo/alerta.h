#pragma once
#include <QString>
#include <QStringList>

class QWidget;

enum class EstiloAlerta { aviso = 0, informativo = 1 };

// A modal desktop-style alert: icon, bold title, text, an optional accessory under the
// text, buttons on the right (the first is the default, Return). Escape presses
// "Cancelar", else the last button. Returns the pressed button's index, -1 when the
// window was closed. `foco` receives typing first (a field of the accessory).
int alerta(const QString& titulo, const QString& mensaje, const QStringList& botones,
           EstiloAlerta estilo = EstiloAlerta::aviso, QWidget* accesorio = nullptr,
           QWidget* foco = nullptr);

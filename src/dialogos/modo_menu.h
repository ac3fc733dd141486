#pragma once
#include <QMenu>
#include <QObject>
#include <QString>

class QAction;

// Target of every enabled item: remembers which one the user chose.
class ReceptorMenu : public QObject {
    Q_OBJECT
public:
    void elegir(QAction* item);

    QString elegido;
};

// The context menu of the video, with the burst interval `segundos` marked as current.
QMenu* construirMenu(double segundos, ReceptorMenu* receptor);

[[noreturn]] void modoMenu(double segundos);

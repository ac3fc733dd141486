#pragma once
#include <QWidget>
#include <functional>

class QKeyEvent;

// The viewer's container: takes the keyboard and offers each key to `tecla` first;
// keys it leaves (returns false) go on to the usual handling.
class Visor : public QWidget {
    Q_OBJECT
public:
    explicit Visor(QWidget* padre = nullptr);

    std::function<bool(QKeyEvent*)> tecla;

protected:
    void keyPressEvent(QKeyEvent* e) override;
};

#pragma once
#include <QWidget>
#include <functional>

class QToolButton;

// A stepper: two small arrows that move a number between limits. It keeps its own
// value; the number field beside it is the caller's (typing there does not move it).
class Paso : public QWidget {
    Q_OBJECT
public:
    Paso(double minimo, double maximo, double incremento, double valor,
         std::function<void()> alCambiar = {}, QWidget* padre = nullptr);

    double valor() const { return valor_; }
    void setValor(double v);
    void subir() { mover(+1); }
    void bajar() { mover(-1); }

    std::function<void()> alCambiar;

private:
    void mover(int sentido);

    double minimo_, maximo_, incremento_, valor_;
};

#pragma once
#include <QKeySequence>
#include <QPushButton>
#include <functional>

// A push button that runs a closure. The main button of a window is tinted turquoise
// and answers to Return wherever the focus is inside its window.
class BotonZORV : public QPushButton {
    Q_OBJECT
public:
    BotonZORV(const QString& titulo, bool principal = false,
              std::function<void()> accion = {}, QWidget* padre = nullptr);

    // Another key that presses the button while its window is active (Escape for
    // "Cancelar").
    void teclaEquivalente(const QKeySequence& tecla);

    std::function<void()> accion;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void pulsado();

    bool principal_ = false;
};

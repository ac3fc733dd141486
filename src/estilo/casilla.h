#pragma once
#include <QCheckBox>
#include <functional>

// A check box that reports the user's changes through a closure. Changes made from
// code (`setMarcada`) stay silent, so a controller can load values without echoes.
class Casilla : public QCheckBox {
    Q_OBJECT
public:
    Casilla(const QString& titulo, bool marcada = false,
            std::function<void(bool)> alCambiar = {}, QWidget* padre = nullptr);

    bool marcada() const { return isChecked(); }
    void setMarcada(bool si) { setChecked(si); }

    std::function<void(bool)> alCambiar;

private:
    void cambio(bool encendida);
};

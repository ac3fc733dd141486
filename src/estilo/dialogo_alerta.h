#pragma once
#include "estilo/alerta.h"

#include <QDialog>
#include <QList>

class QPushButton;
class QScrollArea;

// The window behind `alerta`, kept apart so that tests can drive it.
class DialogoAlerta : public QDialog {
    Q_OBJECT
public:
    DialogoAlerta(const QString& titulo, const QString& mensaje, const QStringList& botones,
                  EstiloAlerta estilo, QWidget* accesorio);

    // Shows the alert on top, gives `foco` the keyboard, waits; the pressed index or -1.
    int correr(QWidget* foco);

    const QList<QPushButton*>& botones() const { return botones_; }
    int pulsado() const { return pulsado_; }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* objeto, QEvent* e) override;

private:
    void pulsar(int i);

    QList<QPushButton*> botones_;
    int pulsado_ = -1;
    int cancelar_ = -1;
    QWidget* foco_ = nullptr;
    QScrollArea* desplazable_ = nullptr;
};

// The text with invisible break opportunities inside every unbroken run of more than 30
// characters, so a label can wrap it anywhere; shorter words are left as they are.
QString cortableEnCualquierSitio(const QString& texto);

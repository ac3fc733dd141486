#pragma once
#include <QAbstractButton>

// A side-bar entry of the settings window: a flat on/off button that paints itself.
class BotonLateral : public QAbstractButton {
    Q_OBJECT
public:
    BotonLateral(const QString& titulo, int indice, QWidget* padre = nullptr);

    const int indice;

    QSize sizeHint() const override { return {170, 40}; }

protected:
    void paintEvent(QPaintEvent* e) override;
};

#pragma once
#include <QColor>
#include <QWidget>

// A view filled with one colour: side bars, bands, bottom bars.
class Fondo : public QWidget {
    Q_OBJECT
public:
    explicit Fondo(const QColor& color, QWidget* padre = nullptr);

    QColor color() const { return color_; }
    void setColor(const QColor& c);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QColor color_;
};

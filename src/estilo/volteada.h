#pragma once
#include <QWidget>

// A container whose children are placed by absolute frames from its top-left corner.
// Qt's own origin is already there; the class names the intent and keeps forms apart.
class Volteada : public QWidget {
    Q_OBJECT
public:
    explicit Volteada(const QRect& marco = {}, QWidget* padre = nullptr)
        : QWidget(padre)
    {
        setGeometry(marco);
    }
};

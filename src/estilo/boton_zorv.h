#pragma once
#include <QKeySequence>
#include <QList>
#include <QPointer>
#include <QPushButton>
#include <functional>

class QShortcut;

// A push button that runs a closure. The main button of a window is tinted turquoise
// and answers to Return wherever the focus is inside its window (or inside the areas
// given to `returnEn`).
class BotonZORV : public QPushButton {
    Q_OBJECT
public:
    BotonZORV(const QString& titulo, bool principal = false,
              std::function<void()> accion = {}, QWidget* padre = nullptr);

    // Another key that presses the button while its window is active (Escape for
    // "Cancelar").
    void teclaEquivalente(const QKeySequence& tecla);

    // A main button answers Return (and Enter) only while the focus is inside one of
    // `zonas`: two main buttons of one window, each in its own area, would otherwise both
    // claim the key and neither would get it.
    void returnEn(const QList<QWidget*>& zonas);

    std::function<void()> accion;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void pulsado();
    QShortcut* atajo(const QKeySequence& tecla, QWidget* donde, Qt::ShortcutContext contexto);

    bool principal_ = false;
    QList<QPointer<QShortcut>> teclasReturn_;
};

#pragma once
#include <QEventLoop>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

// The one window class: "ZorvPlayer - " titles, kept above the player, centred, and
// every way of closing funnels into `alCerrar` (once) and the end of the modal loop.
class VentanaZORV : public QWidget {
    Q_OBJECT
public:
    VentanaZORV(const QString& titulo, int ancho, int alto, bool redimensionable);

    // Shows, raises and activates the window; with ZORV_DEPURAR set, dumps the view
    // tree to standard error 2 s later.
    void mostrarDelante();

    // Shows the window and waits until it closes (or `pararModal` is called).
    void mostrarModal();
    void pararModal();

    std::function<void()> alCerrar;

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    QPointer<QEventLoop> bucle_;
    bool cerrada_ = false;
};

// The view-tree dump, one line per widget (exposed for the tests).
QStringList volcadoVistas(const QWidget* ventana);

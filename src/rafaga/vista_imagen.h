#pragma once
#include <QHash>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <memory>

class CargadorMiniaturas;

// An image view: the picture scaled up or down to fit, centred, nothing behind it.
// Pictures are decoded at the size they are shown; those asked for ahead are decoded in
// the background, so stepping through captures does not wait for the decoder.
class VistaImagen : public QWidget {
    Q_OBJECT
public:
    explicit VistaImagen(QWidget* padre = nullptr);
    ~VistaImagen() override;

    // Shows the file; an unreadable one leaves the view empty. The picture already
    // shown is not decoded again.
    void cargar(const QString& ruta);
    // Decodes these in the background for a coming `cargar`; forgets others decoded
    // before.
    void anticipar(const QStringList& rutas);
    void limpiar();
    const QImage& imagen() const { return imagen_; }
    // Pictures decoded ahead and ready (for the tests).
    int anticipadas() const { return int(listas_.size()); }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QSize caja() const;

    QString ruta_;
    QImage imagen_;
    // The picture at the size last painted, while the view's size differs from the
    // one it was decoded for.
    QImage escalada_;
    std::unique_ptr<CargadorMiniaturas> cargador_;
    QHash<int, QString> enCamino_;
    int siguientePedido_ = 0;
    QHash<QString, QImage> listas_;
    QStringList vecinas_;  // what was last asked for ahead
    // After a resize, the shown picture is decoded again at the new size.
    QTimer redecodificar_;
};

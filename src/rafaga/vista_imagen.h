#pragma once
#include <QImage>
#include <QWidget>

// An image view: the picture scaled up or down to fit, centred, nothing behind it.
class VistaImagen : public QWidget {
    Q_OBJECT
public:
    explicit VistaImagen(QWidget* padre = nullptr);

    // Loads the file; an unreadable one leaves the view empty. Pictures larger than
    // the screen are decoded at screen size: nothing larger can be shown. The picture
    // already shown is not decoded again (marking in the viewer reloads the caption,
    // not the picture).
    void cargar(const QString& ruta);
    void limpiar();
    const QImage& imagen() const { return imagen_; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QString ruta_;
    QImage imagen_;
    // The picture at the size last painted, so that repaints do not scale again.
    QImage escalada_;
};

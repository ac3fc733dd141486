#pragma once
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QSize>
#include <QString>
#include <QWaitCondition>
#include <functional>
#include <unordered_set>
#include <vector>

class QThread;

// Decodes a picture straight at the size it is shown: a JPEG is decoded at a fraction of
// its size (1/2, 1/4, 1/8) and only the last step is a real scaling. The result fits
// `caja` (in device pixels), scaled up or down; thumbnails take the compact 24-bit
// format. Null when the file is not a readable image.
QImage decodificarMiniatura(const QString& ruta, const QSize& caja,
                            QImage::Format formato = QImage::Format_RGB888);

// Worker threads that decode thumbnails in the order of a plan the grid replaces as the
// view moves, so that what is on screen always comes first. Results come back on the
// thread that owns the loader.
class CargadorMiniaturas : public QObject {
    Q_OBJECT
public:
    struct Pedido {
        int indice;
        QString ruta;
        QSize caja;
    };

    // `hilos` 0: one per core, four at most.
    explicit CargadorMiniaturas(int hilos = 0, QImage::Format formato = QImage::Format_RGB888,
                                QObject* padre = nullptr);
    ~CargadorMiniaturas() override;

    // Drops what has not started yet and works through `plan` from its front. Entries
    // already being decoded are not decoded twice. Never blocks the caller.
    void pedir(std::vector<Pedido> plan);

    // Called on the owner's thread with each result (a null image: unreadable).
    std::function<void(int indice, const QImage& imagen)> alLlegar;

private:
    void trabajar();
    void entregar(int indice, const QImage& imagen);
    void sincronizar();

    QMutex mutex_;
    QWaitCondition hayTrabajo_;
    std::vector<Pedido> plan_;
    size_t siguiente_ = 0;
    std::unordered_set<int> enCurso_;
    bool parar_ = false;
    const QImage::Format formato_;
    std::vector<QThread*> hilos_;

    // Owner's thread only: what waits to be handed to the workers.
    std::vector<Pedido> planNuevo_;
    bool hayPlanNuevo_ = false;
    std::vector<int> terminados_;
    bool reintento_ = false;
};

#include "rafaga/cargador_miniaturas.h"

#include <QImageReader>
#include <QThread>
#include <QTimer>
#include <algorithm>

QImage decodificarMiniatura(const QString& ruta, const QSize& caja, QImage::Format formato)
{
    QImageReader lector(ruta);
    // A file that claims a giant picture is refused rather than allowed to hold the
    // memory the gallery keeps for thumbnails; real captures, even 8K ones, are decoded
    // at a fraction and stay far below.
    lector.setAllocationLimit(64);
    const QSize original = lector.size();
    QImage imagen;
    if (original.isValid() && !original.isEmpty()) {
        lector.setScaledSize(original.scaled(caja, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
        imagen = lector.read();
    } else {
        // A format that does not tell its size up front: decode, then scale.
        imagen = lector.read();
        if (!imagen.isNull())
            imagen = imagen.scaled(caja, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    if (imagen.isNull())
        return {};
    // Thumbnails: three bytes a pixel instead of four, a third more in the same budget.
    return imagen.convertToFormat(formato);
}

CargadorMiniaturas::CargadorMiniaturas(int hilos, QImage::Format formato, QObject* padre)
    : QObject(padre)
    , formato_(formato)
{
    if (hilos <= 0)
        hilos = std::clamp(QThread::idealThreadCount(), 1, 4);
    for (int i = 0; i < hilos; ++i) {
        QThread* h = QThread::create([this] { trabajar(); });
        hilos_.push_back(h);
        h->start();
    }
}

CargadorMiniaturas::~CargadorMiniaturas()
{
    {
        QMutexLocker cerrojo(&mutex_);
        parar_ = true;
        hayTrabajo_.wakeAll();
    }
    for (QThread* h : hilos_) {
        h->wait();
        delete h;
    }
}

void CargadorMiniaturas::pedir(std::vector<Pedido> plan)
{
    planNuevo_ = std::move(plan);
    hayPlanNuevo_ = true;
    sincronizar();
}

void CargadorMiniaturas::sincronizar()
{
    // The interface thread never waits here: a decoder the machine has put aside while
    // it held the lock could keep it waiting for a long while. What cannot be handed
    // over now is handed over a moment later.
    if (!mutex_.tryLock()) {
        if (!reintento_) {
            reintento_ = true;
            QTimer::singleShot(1, this, [this] {
                reintento_ = false;
                sincronizar();
            });
        }
        return;
    }
    for (int i : terminados_)
        enCurso_.erase(i);
    terminados_.clear();
    if (hayPlanNuevo_) {
        plan_ = std::move(planNuevo_);
        planNuevo_.clear();
        hayPlanNuevo_ = false;
        siguiente_ = 0;
        hayTrabajo_.wakeAll();
    }
    mutex_.unlock();
}

void CargadorMiniaturas::trabajar()
{
    QMutexLocker cerrojo(&mutex_);
    while (!parar_) {
        while (siguiente_ < plan_.size() && enCurso_.count(plan_[siguiente_].indice))
            ++siguiente_;
        if (siguiente_ >= plan_.size()) {
            hayTrabajo_.wait(&mutex_);
            continue;
        }
        const Pedido p = plan_[siguiente_++];
        enCurso_.insert(p.indice);
        cerrojo.unlock();
        QImage imagen = decodificarMiniatura(p.ruta, p.caja, formato_);
        QMetaObject::invokeMethod(
            this, [this, i = p.indice, imagen = std::move(imagen)] { entregar(i, imagen); },
            Qt::QueuedConnection);
        cerrojo.relock();
    }
}

void CargadorMiniaturas::entregar(int indice, const QImage& imagen)
{
    // Still "in progress" until the owner has the result, so that a plan made in
    // between does not ask for it again.
    terminados_.push_back(indice);
    sincronizar();
    if (alLlegar)
        alLlegar(indice, imagen);
}

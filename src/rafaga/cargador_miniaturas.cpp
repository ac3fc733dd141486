#include "rafaga/cargador_miniaturas.h"

#include <QImageReader>
#include <QThread>
#include <algorithm>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

QImage decodificarMiniatura(const QString& ruta, const QSize& caja, QImage::Format formato)
{
    QImageReader lector(ruta);
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
    QMutexLocker cerrojo(&mutex_);
    plan_ = std::move(plan);
    siguiente_ = 0;
    hayTrabajo_.wakeAll();
}

void CargadorMiniaturas::trabajar()
{
    // Decoding yields to the interface thread: on a busy machine the window must keep
    // answering while thumbnails fill in.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 5);
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
    {
        // Still "in progress" until the owner has the result, so that a plan made in
        // between does not ask for it again.
        QMutexLocker cerrojo(&mutex_);
        enCurso_.erase(indice);
    }
    if (alLlegar)
        alLlegar(indice, imagen);
}

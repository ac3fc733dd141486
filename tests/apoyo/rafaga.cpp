#include "apoyo/rafaga.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <unistd.h>

QImage imagenCaptura(int numero, const QSize& tamano, const QImage& fondo)
{
    QImage img(tamano, QImage::Format_RGB32);
    const QColor tono = QColor::fromHsv((numero * 37) % 360, 160, 200);
    QPainter p(&img);
    if (fondo.isNull()) {
        p.fillRect(img.rect(), tono);
    } else {
        p.drawImage(img.rect(), fondo);
        // Something moves through the scene from one capture to the next.
        const int lado = tamano.height() / 4;
        const int x = (numero * 53) % std::max(1, tamano.width() - lado);
        p.fillRect(QRect(x, tamano.height() / 2, lado, lado), tono);
    }
    QFont f;
    f.setPixelSize(std::max(8, tamano.height() / 3));
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(img.rect(), Qt::AlignCenter, QString::number(numero));
    return img;
}

bool escribirCaptura(const QString& carpeta, int numero, const QImage& imagen)
{
    const QString nombre = QString::asprintf("%06d.jpg", numero);
    if (!QDir().mkpath(carpeta + QStringLiteral("/mini")) || !QDir().mkpath(carpeta + QStringLiteral("/full")))
        return false;
    const QString mini = carpeta + QStringLiteral("/mini/") + nombre;
    const QString full = carpeta + QStringLiteral("/full/") + nombre;
    if (!imagen.save(mini, "JPEG", 85))
        return false;
    QFile::remove(full);
    return ::link(QFile::encodeName(mini).constData(), QFile::encodeName(full).constData()) == 0
        || QFile::copy(mini, full);
}

bool escribirRafaga(const QString& carpeta, const QList<int>& numeros, const QSize& tamano)
{
    for (int n : numeros)
        if (!escribirCaptura(carpeta, n, imagenCaptura(n, tamano)))
            return false;
    return true;
}

bool escribirRafagaRepetida(const QString& carpeta, int n, const QSize& tamano)
{
    if (!escribirCaptura(carpeta, 1, imagenCaptura(1, tamano)))
        return false;
    const QByteArray primera = QFile::encodeName(carpeta + QStringLiteral("/mini/000001.jpg"));
    for (int i = 2; i <= n; ++i)
        if (::link(primera.constData(), QFile::encodeName(carpeta + QString::asprintf("/mini/%06d.jpg", i)).constData()) != 0)
            return false;
    return true;
}

#include "apoyo/guion_servidor.h"

#include "apoyo/espacio_red.h"
#include "apoyo/programa.h"

#include <QDeadlineTimer>
#include <QProcess>

GuionServidor::GuionServidor(const QString& guion, const QStringList& args,
                             const QString& espacio) {
    // Debian's own interpreter: the modules the scripts need come from Debian packages.
    QStringList orden{QStringLiteral("/usr/bin/python3"),
                      raizFuentes() + QStringLiteral("/tests/apoyo/") + guion};
    orden += args;
    QString programa = orden.takeFirst();
    if (!espacio.isEmpty()) {
        orden = EspacioRed::dentro(espacio, QStringList{programa} + orden);
        programa = QStringLiteral("ip");
    }
    proceso = std::make_unique<QProcess>();
    proceso->setStandardErrorFile(QProcess::nullDevice());
    proceso->start(programa, orden);
    QDeadlineTimer limite(30000);
    QByteArray dicho;
    while (proceso->waitForStarted(5000) && !limite.hasExpired() && !dicho.contains('\n')) {
        if (!proceso->waitForReadyRead(int(limite.remainingTime()))) break;
        dicho += proceso->readAll();
    }
    bien = dicho.startsWith("listo\n");
    if (!bien) {
        fallo = guion + QStringLiteral(" no arrancó: ") + QString::fromUtf8(dicho);
        parar();
    }
}

void GuionServidor::parar() {
    if (!proceso || proceso->state() == QProcess::NotRunning) return;
    proceso->kill();
    proceso->waitForFinished(5000);
}

GuionServidor::~GuionServidor() { parar(); }

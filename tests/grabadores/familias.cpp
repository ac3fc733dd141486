#include "familias.h"

#include <QRandomGenerator>

#include <QDir>

void ConGrabador::SetUp() {
    if (!puedeCrearEspacios()) GTEST_SKIP() << "hace falta ser root para crear espacios de red";
    red = std::make_unique<EspacioRed>(41, 29);
    ASSERT_TRUE(red->listo()) << red->error().toStdString();
    OpcionesGrabador o = opciones();
    o.espacio = red->servidor;
    o.direccion = red->ipServidor;
    grabador = std::make_unique<GrabadorFalso>(o);
    ASSERT_TRUE(grabador->listo()) << grabador->error().toStdString();
}

OrigenPtr ConGrabador::origen(const QString& clave) const {
    auto o = std::make_shared<Origen>(QStringLiteral("red"), red->ipServidor, red->ipServidor, QString());
    o->ip = red->ipServidor;
    o->puertos = {80};
    o->clave = clave;
    return o;
}

QString ConGrabador::enRed(const std::function<void()>& f) const {
    QString mensaje = SIN_ERROR;
    const bool dentro = enEspacio(red->cliente, [&] {
        try {
            f();
        } catch (const ErrorCamara& e) {
            mensaje = e.description;
        }
    });
    return dentro ? mensaje : QStringLiteral("(no se pudo entrar en el espacio de red)");
}

QList<PeticionVista> ConGrabador::peticionesDesde(qsizetype n) const {
    return grabador->peticiones().mid(n);
}

QStringList ConGrabador::ficherosEn(const QString& carpeta) {
    return QDir(carpeta).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QByteArray bytesAleatorios(qsizetype n, unsigned semilla) {
    QByteArray b(n, Qt::Uninitialized);
    QRandomGenerator(semilla).fillRange(reinterpret_cast<quint32*>(b.data()), n / 4);
    return b;
}

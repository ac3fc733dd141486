#include "familias.h"

#include <random>

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
    std::mt19937 g(semilla);
    QByteArray b(n, Qt::Uninitialized);
    for (char& c : b) c = char(g());
    return b;
}

QList<qint64> cortesAleatorios(qint64 largo, int cortes, unsigned semilla) {
    std::mt19937_64 g(semilla);
    QList<qint64> l;
    for (int i = 0; i < cortes; ++i) l << qint64(g() % uint64_t(largo));
    std::sort(l.begin(), l.end());
    return l;
}

QList<int64_t> conReintentos(Reanudacion& r, const std::function<void()>& bajar) {
    QList<int64_t> reanudadas;
    for (r.intento = 1;; ++r.intento) {
        try {
            bajar();
        } catch (const ErrorTransitorio&) {
            if (r.reanudadaEn >= 0) reanudadas << r.reanudadaEn;
            if (r.intento > 3) throw;
            continue;
        }
        if (r.reanudadaEn >= 0) reanudadas << r.reanudadaEn;
        return reanudadas;
    }
}

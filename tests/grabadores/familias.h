#pragma once
// A fake recorder of the three web families inside a test network namespace, with the
// families' code run from the other end of the link as the cameras window runs it.
#include "apoyo/espacio_red.h"
#include "apoyo/grabador_falso.h"
#include "apoyo/impresion.h"
#include "grabadores/modelo.h"

#include <QTemporaryDir>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

class ConGrabador : public ::testing::Test {
protected:
    void SetUp() override;
    // What the fake offers; a test suite narrows it by overriding.
    virtual OpcionesGrabador opciones() const { return {}; }

    // The fake as the sweep leaves it: kind "red", port 80 open, the given password.
    OrigenPtr origen(const QString& clave = QStringLiteral("buena")) const;
    // Runs f inside the client's namespace; the message of the ErrorCamara it threw, or
    // "(sin error)".
    QString enRed(const std::function<void()>& f) const;
    // Requests the fake answered from the n-th on.
    QList<PeticionVista> peticionesDesde(qsizetype n) const;
    // The files left in a folder, sorted.
    static QStringList ficherosEn(const QString& carpeta);

    std::unique_ptr<EspacioRed> red;
    std::unique_ptr<GrabadorFalso> grabador;
    QTemporaryDir tmp;
};

// What a bad link carries: `n` bytes from a seeded generator.
QByteArray bytesAleatorios(qsizetype n, unsigned semilla);

// Texts of an error-free call and of a test that could not reach the namespace.
inline const QString SIN_ERROR = QStringLiteral("(sin error)");

#pragma once
#include "estilo/alerta.h"
#include "estilo/casilla.h"

#include <QComboBox>
#include <QString>
#include <memory>
#include <optional>

// "Generar copia anonimizada": summary "zonas;caras;segundos" and the current method.
struct DialogoAnonimizar {
    DialogoAnonimizar(const QString& resumen, const QString& metodo);

    std::optional<QString> respuesta(int boton) const;

    int zonas = 0;
    int caras = 0;
    double segundos = 0;
    QString mensaje;
    EstiloAlerta estilo = EstiloAlerta::informativo;
    std::unique_ptr<QWidget> accesorio;
    QComboBox* cMetodo = nullptr;
    Casilla* cRevisar = nullptr;
};

[[noreturn]] void modoAnonimizar(const QString& resumen, const QString& metodo);

#pragma once
#include "estilo/casilla.h"

#include <QString>
#include <memory>
#include <optional>

// "Guardar los n tramos marcados": built apart from showing it so its texts, its
// accessory and its answers can be checked without a display.
struct DialogoRecorte {
    explicit DialogoRecorte(const QString& tramos);

    // The line for the player for a pressed button; nothing for "Cancelar" or closing.
    std::optional<QString> respuesta(int boton) const;

    int n = 0;
    QString titulo;
    QString mensaje;
    std::unique_ptr<QWidget> accesorio;
    Casilla* exacto = nullptr;
    Casilla* unir = nullptr; // only with two or more segments
};

inline const QStringList kBotonesRecorte = {"Guardar", "Marcar otro tramo", "Descartar tramos",
                                            "Cancelar"};

[[noreturn]] void modoRecorte(const QString& tramos);

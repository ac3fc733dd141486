#pragma once
#include <QString>

// "Marcar este momento": the texts of the alert and the note as the player gets it.
QString mensajeNota(const QString& posicion, const QString& horaReal);
QString textoNota(const QString& escrito);

[[noreturn]] void modoNota(const QString& posicion, const QString& horaReal);

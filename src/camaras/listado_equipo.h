#pragma once
// Listing a network device's recordings as "Listar" does it, on the background queue:
// identification with the credentials, then the family's listing, or each family in turn.
// Credentials the device refuses end it at once: recorders lock an account after a few
// wrong tries, so not one more request goes out with them.
#include "camaras/operaciones.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

struct ListadoEquipo {
    QString identificada = QStringLiteral("desconocida");  // what identification said
    QString modelo;
    QString familia;       // the family whose listing gave recordings; empty when none did
    Listado listado;       // what was read, why it stopped early, the device's clock
    QStringList fallos;    // "family: reason" of each family whose listing failed
    // The credentials were refused or the account is locked: the message, and whether they
    // had been refused before this listing (then nothing at all was sent).
    std::optional<QString> rechazo;
    bool yaRechazadas = false;
};

// `guardada` is the family the window knew before; `alIdentificar` gets the identification
// as soon as it is known, before any family is tried.
ListadoEquipo listarEquipo(const Operaciones& o, const OrigenPtr& origen, const Consulta& consulta,
                           const QString& guardada,
                           const std::function<void(const QString& familia, const QString& modelo)>& alIdentificar);

// What the count line says when the listing shows nothing: the refusal or lock, or "Sin
// grabaciones en ese periodo" with each family's failure.
QString lineaSinGrabaciones(const ListadoEquipo& r);
// What the count line adds while the recordings of a listing that stopped early are shown.
QString notaIncompleto(const Listado& l);

#include "camaras/listado_equipo.h"

#include "camaras/nombres.h"

namespace {

QString faltaRutina(const QString& familia)
{
    return QStringLiteral("esta versión aún no sabe listar grabaciones de ") + familia;
}

std::optional<QString> rechazoDe(const Origen& o) { return o.rechazo->motivo(o.usuario, o.clave); }

} // namespace

ListadoEquipo listarEquipo(const Operaciones& o, const OrigenPtr& origen, const Consulta& consulta,
                           const QString& guardada,
                           const std::function<void(const QString&, const QString&)>& alIdentificar)
{
    ListadoEquipo r;
    if ((r.rechazo = rechazoDe(*origen))) {
        r.yaRechazadas = true;
        return r;
    }
    if (o.detectarFamilia)
        std::tie(r.identificada, r.modelo) = o.detectarFamilia(*origen);
    // Refused, the identification only guessed from the ports: the device keeps its family.
    if (rechazoDe(*origen))
        r = ListadoEquipo();
    if (alIdentificar)
        alIdentificar(r.identificada, r.modelo);
    const QString familia = r.identificada != QLatin1String("desconocida") ? r.identificada : guardada;
    const QStringList probar = familiasAProbar(familia);
    for (const QString& f : probar) {
        // Refused once, refused for every family: trying the next would only count
        // another failure against the account.
        if ((r.rechazo = rechazoDe(*origen)))
            break;
        Listado l;
        try {
            const Operaciones::Listar listar = o.listar.value(f);
            if (!listar)
                throw ErrorCamara(faltaRutina(f));
            l = listar(origen, consulta);
        } catch (const std::exception& e) {
            r.fallos << f + QStringLiteral(": ") + motivoDe(e);
            continue;
        }
        if (l.desfaseReloj)
            r.listado.desfaseReloj = l.desfaseReloj;
        // A family merely tried on a device of another says nothing of its channels.
        if (!l.ficheros.isEmpty() || probar.size() == 1)
            r.listado.canales = l.canales;
        // Channels that failed beside others that had nothing: the failure is still news.
        for (const QString& corte : l.ficheros.isEmpty() ? l.cortes : QStringList())
            r.fallos << f + QStringLiteral(": ") + corte;
        if (!l.ficheros.isEmpty()) {
            r.familia = f;
            r.listado.juntar(l);
            break;
        }
    }
    if (!r.rechazo)
        r.rechazo = rechazoDe(*origen);
    return r;
}

QString lineaSinGrabaciones(const ListadoEquipo& r)
{
    // Two lines at most fit under the list: the reason, then why nothing more was tried.
    const QString porque = QStringLiteral("grabadores bloquean la cuenta tras pocos intentos fallidos.");
    if (r.rechazo && r.yaRechazadas)
        return QStringLiteral("No se ha vuelto a enviar, ya se rechazó: ") + *r.rechazo + QStringLiteral(". Los ") + porque;
    if (r.rechazo)
        return r.rechazo->left(1).toUpper() + r.rechazo->mid(1) + QStringLiteral(". No se ha probado nada más: los ") + porque;
    QString linea = QStringLiteral("Sin grabaciones en ese periodo");
    if (!r.fallos.isEmpty())
        linea += QStringLiteral(" · ") + r.fallos.join(QStringLiteral(" · "));
    return linea + QStringLiteral(". Si tiene tarjeta SD, prueba otro periodo o graba el directo.");
}

QString notaIncompleto(const Listado& l)
{
    if (l.cortes.isEmpty())
        return QString();
    return QStringLiteral(" · listado incompleto, ") + l.cortes.join(QStringLiteral("; "))
        + QStringLiteral(" (se muestra lo leído hasta ahí)");
}

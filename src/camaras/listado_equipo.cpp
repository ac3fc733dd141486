#include "camaras/listado_equipo.h"

#include "camaras/nombres.h"

namespace {

QString faltaRutina(const QString& familia)
{
    return QStringLiteral("esta versión aún no sabe listar grabaciones de ") + familia;
}

std::optional<QString> rechazoDe(const Origen& o) { return o.rechazo->motivo(o.usuario, o.clave); }

} // namespace

ListadoEquipo listarEquipo(const Operaciones& o, const OrigenPtr& origen, const QString& periodo,
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
    if (alIdentificar)
        alIdentificar(r.identificada, r.modelo);
    const QString familia = r.identificada != QLatin1String("desconocida") ? r.identificada : guardada;
    for (const QString& f : familiasAProbar(familia)) {
        // Refused once, refused for every family: trying the next would only count
        // another failure against the account.
        if ((r.rechazo = rechazoDe(*origen)))
            break;
        Listado l;
        try {
            const Operaciones::Listar listar = o.listar.value(f);
            if (!listar)
                throw ErrorCamara(faltaRutina(f));
            l = listar(origen, periodo);
        } catch (const std::exception& e) {
            r.fallos << f + QStringLiteral(": ") + motivoDe(e);
            continue;
        }
        if (l.desfaseReloj)
            r.listado.desfaseReloj = l.desfaseReloj;
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
    if (r.rechazo) {
        QString motivo = *r.rechazo;
        if (!motivo.isEmpty())
            motivo[0] = motivo[0].toUpper();
        const QString previo = r.yaRechazadas
            ? QStringLiteral("Esas credenciales ya se rechazaron y no se han vuelto a enviar. ")
            : QString();
        return previo + motivo
            + QStringLiteral(". No se ha probado nada más: los grabadores bloquean la cuenta tras unos pocos intentos fallidos."
                             " Revisa el usuario y la contraseña antes de volver a «Listar».");
    }
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

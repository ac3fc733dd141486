#include "grabadores/listado.h"

#include "grabadores/ayudas.h"

#include <QMap>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

std::pair<QDateTime, QDateTime> Consulta::fechas() const { return ventana ? *ventana : fechasPeriodo(periodo); }

bool pasoListado(Listado& l, const QString& donde, const std::function<void()>& paso) {
    try {
        paso();
        return true;
    } catch (const ErrorCamara& e) {
        if (l.ficheros.isEmpty()) throw;
        l.cortes << QStringLiteral("se detuvo en ") + donde + QStringLiteral(": ") + e.description;
        return false;
    }
}

QList<Canal> canalesPedidos(const QList<Canal>& canales, int canal) {
    if (canal <= 0) return canales;
    for (const Canal& c : canales)
        if (c.numero == canal) return {c};
    return {Canal{canal, {}}};
}

namespace {

// "canal 3" or "canales 3, 5 y 9".
QString nombrarCanales(const QList<int>& numeros) {
    QStringList n;
    for (int c : numeros) n << QString::number(c);
    if (n.size() == 1) return QStringLiteral("canal ") + n.first();
    const QString ultimo = n.takeLast();
    return QStringLiteral("canales ") + n.join(QStringLiteral(", ")) + QStringLiteral(" y ") + ultimo;
}

}  // namespace

Listado porCanales(const QList<Canal>& canales, int simultaneas, const std::function<Listado(const Canal&)>& buscar,
                   const std::function<void(int, int)>& avance) {
    const int n = int(canales.size());
    std::vector<std::optional<Listado>> hechos(canales.size());
    std::vector<std::exception_ptr> errores(canales.size());
    std::atomic<int> siguiente{0}, terminados{0};
    std::atomic<bool> parar{false};
    auto trabajar = [&] {
        for (int i = 0; !parar && (i = siguiente++) < n;) {
            try {
                hechos[size_t(i)] = buscar(canales[i]);
            } catch (const ErrorCredenciales&) {
                errores[size_t(i)] = std::current_exception();
                parar = true;
            } catch (const ErrorCamara&) {
                errores[size_t(i)] = std::current_exception();
            } catch (...) {
                errores[size_t(i)] = std::current_exception();
                parar = true;
            }
            if (avance) avance(++terminados, n);
        }
    };
    {
        // The calling thread is one of them; the others end before the results are read.
        std::vector<std::jthread> otros;
        for (int k = 1; k < std::min(simultaneas, n); ++k) otros.emplace_back(trabajar);
        trabajar();
    }
    Listado l;
    std::exception_ptr primero;
    bool alguno = false;
    QMap<QString, QList<int>> porMotivo;  // failures, by message, in channel order
    QStringList motivos;
    for (int i = 0; i < n; ++i) {
        const Canal& c = canales[i];
        if (hechos[size_t(i)]) {
            alguno = true;
            for (const FicheroPtr& f : hechos[size_t(i)]->ficheros) {
                f->canal = c.numero;
                f->nombreCanal = c.nombre;
            }
            Listado propio = *hechos[size_t(i)];
            if (n > 1)
                for (QString& corte : propio.cortes) corte = nombrarCanales({c.numero}) + QStringLiteral(": ") + corte;
            l.juntar(propio);
            continue;
        }
        if (!errores[size_t(i)]) continue;  // never searched: another channel's error stopped the walk
        try {
            std::rethrow_exception(errores[size_t(i)]);
        } catch (const ErrorCredenciales&) {
            throw;
        } catch (const ErrorCamara& e) {
            if (!primero) primero = errores[size_t(i)];
            if (!porMotivo.contains(e.description)) motivos << e.description;
            porMotivo[e.description] << c.numero;
        }
    }
    if (!alguno && primero) std::rethrow_exception(primero);
    for (const QString& m : motivos) l.cortes << nombrarCanales(porMotivo.value(m)) + QStringLiteral(": ") + m;
    return l;
}

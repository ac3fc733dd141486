#include "grabadores/reanudar.h"

#include "grabadores/http.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <chrono>
#include <cstring>
#include <thread>

Empalme::Empalme(QFile& fichero, int64_t d) : f(fichero), desde(std::min<int64_t>(d, fichero.size())) {
    const int64_t n = std::min(desde, COLA_REANUDAR);
    if (f.seek(desde - n)) cola = f.read(n);
    f.seek(desde);
}

Empalme::Paso Empalme::anadir(const char* datos, int64_t n) {
    const int64_t comparar = std::min<int64_t>(n, cola.size() - std::min<int64_t>(visto, cola.size()));
    if (comparar > 0 && std::memcmp(cola.constData() + visto, datos, size_t(comparar)) != 0)
        return Paso::distinto;
    visto += n;
    const int64_t resto = n - comparar;
    if (resto > 0 && f.write(datos + comparar, resto) != resto) return Paso::falloEscritura;
    return Paso::sigue;
}

std::optional<std::pair<int64_t, int64_t>> leerRango(const QString& valor) {
    static const QRegularExpression e(QStringLiteral("^\\s*bytes\\s+(\\d{1,18})-(\\d{1,18})/(\\d{1,18}|\\*)\\s*$"),
                                      QRegularExpression::CaseInsensitiveOption);
    const auto m = e.match(valor);
    if (!m.hasMatch()) return std::nullopt;
    const int64_t inicio = m.captured(1).toLongLong(), fin = m.captured(2).toLongLong();
    const int64_t total = m.captured(3) == QLatin1String("*") ? -1 : m.captured(3).toLongLong();
    if (fin < inicio || (total >= 0 && fin >= total)) return std::nullopt;
    return std::pair{inicio, total};
}

QList<int64_t> intentarConPausas(Reanudacion& r, const QList<int>& pausasMs, const std::function<void()>& intento,
                                 const std::function<void(const ErrorTransitorio&)>& antes, std::stop_token parar) {
    r.anteriores.clear();
    for (r.intento = 1;; ++r.intento) {
        try {
            intento();
        } catch (const ErrorTransitorio& e) {
            if (r.reanudadaEn >= 0) r.anteriores << r.reanudadaEn;
            if (r.intento > pausasMs.size()) throw;
            if (antes) antes(e);
            // In short steps: whoever waits for this thread is not held a whole pause.
            const auto hasta = std::chrono::steady_clock::now() + std::chrono::milliseconds(pausasMs[r.intento - 1]);
            while (std::chrono::steady_clock::now() < hasta && !parar.stop_requested())
                std::this_thread::sleep_for(std::chrono::milliseconds(std::min(pausasMs[r.intento - 1], 50)));
            if (parar.stop_requested()) throw;
            continue;
        }
        if (r.reanudadaEn >= 0) r.anteriores << r.reanudadaEn;
        return r.anteriores;
    }
}

void vaciarFichero(const QString& ruta) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadWrite) || !f.resize(0))
        throw ErrorCamara(QStringLiteral("no se pudo vaciar el fichero ") + ruta);
}

void pedirFichero(const Origen& origen, const QString& url, const QString& metodo,
                  const std::optional<QString>& cuerpo, const QString& destino,
                  const std::function<void(int)>& progreso, Reanudacion* r) {
    if (!r) {
        pedir(origen, url, metodo, cuerpo, destino, progreso, true);
        return;
    }
    r->reanudadaEn = -1;
    if (r->intento <= 1) vaciarFichero(destino);
    r->desde = QFileInfo(destino).size();
    try {
        pedir(origen, url, metodo, cuerpo, destino, progreso, true, r);
        return;
    } catch (const ErrorEmpalme&) {
    }
    vaciarFichero(destino);
    r->reanudadaEn = -1;
    Reanudacion deCero;
    pedir(origen, url, metodo, cuerpo, destino, progreso, true, &deCero);
}

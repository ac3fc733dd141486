// Listings of 5000 recordings (50 pages of 100) from the fake Hikvision and Dahua recorders
// inside test namespaces: time spent in our own reading of one page against the whole
// listing, whose rest is the network and the fake's own work.
#include "apoyo/espacio_red.h"
#include "apoyo/grabador_falso.h"
#include "grabadores/ayudas.h"
#include "grabadores/dahua.h"
#include "grabadores/hikvision.h"
#include "medidas.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QUuid>
#include <cstdio>
#include <functional>

namespace {

constexpr int ITEMS = 5000;

// Processor time of the process: its other threads wait while the reading runs.
double cpuMs() { return cpuProceso() * 1000.0; }

struct PorPagina {
    double reloj = 1e9, cpu = 1e9;  // milliseconds
};

// Milliseconds per page of `leer` over the pages, best of a few rounds: by the wall clock,
// which a loaded machine stretches, and in processor time.
PorPagina msPorPagina(const QList<QByteArray>& paginas,
                      const std::function<qsizetype(const QByteArray&)>& leer, qsizetype& leidos) {
    PorPagina mejor;
    for (int vuelta = 0; vuelta < 5; ++vuelta) {
        leidos = 0;
        QElapsedTimer t;
        t.start();
        const double c = cpuMs();
        for (const QByteArray& p : paginas) leidos += leer(p);
        mejor.cpu = std::min(mejor.cpu, (cpuMs() - c) / double(paginas.size()));
        mejor.reloj = std::min(mejor.reloj, t.nsecsElapsed() / 1e6 / double(paginas.size()));
    }
    return mejor;
}

void informar(const char* familia, PorPagina msPagina, qsizetype leidos, qsizetype paginas,
              double sTotal, qsizetype listados) {
    std::printf("%s\n", qPrintable(QString::asprintf(
                            "%s: lectura propia %.3f ms por página de reloj, %.3f ms de procesador "
                            "(objetivo < 2 ms; %lld items en %lld páginas); listado entero %.2f s, "
                            "%lld grabaciones, %.1f ms por página; carga %s",
                            familia, msPagina.reloj, msPagina.cpu, qlonglong(leidos), qlonglong(paginas), sTotal,
                            qlonglong(listados), sTotal * 1000 / double(paginas), qPrintable(cargaMedia()))));
}

}  // namespace

int main() {
    EspacioRed red(42, 29);
    if (!red.listo()) {
        std::fprintf(stderr, "%s\n", qPrintable(red.error()));
        return 1;
    }
    OpcionesGrabador o;
    o.espacio = red.servidor;
    o.direccion = red.ipServidor;
    GrabadorFalso grabador(o);
    if (!grabador.listo()) {
        std::fprintf(stderr, "%s\n", qPrintable(grabador.error()));
        return 1;
    }
    QList<ItemHikvision> hik;
    QList<ItemDahua> dah;
    const QDateTime cero(QDate(2024, 3, 5), QTime(0, 0), Qt::UTC);
    for (int i = 0; i < ITEMS; ++i) {
        const QDateTime t = cero.addSecs(60 * i);
        hik << ItemHikvision{t.toString(Qt::ISODate), t.addSecs(59).toString(Qt::ISODate),
                             QStringLiteral("rtsp://10.77.42.2/Streaming/tracks/101/?starttime=%1&amp;"
                                            "endtime=%1&amp;name=%2&amp;size=%3")
                                 .arg(t.toString(QStringLiteral("yyyyMMddTHHmmssZ")))
                                 .arg(i, 16, 10, QLatin1Char('0'))
                                 .arg(1048576 + i),
                             {}};
        const QString f = QStringLiteral("yyyy-MM-dd HH:mm:ss");
        dah << ItemDahua{t.toLocalTime().toString(f), t.addSecs(59).toLocalTime().toString(f),
                         QStringLiteral("/mnt/dvr/2024-03-05/001/dav/%1/%2.dav").arg(i / 60).arg(i),
                         1048576 + i, {}};
    }
    grabador.hikvision(hik);
    grabador.dahua(dah);

    auto origen = std::make_shared<Origen>("red", red.ipServidor, red.ipServidor, "");
    origen->ip = red.ipServidor;
    origen->puertos = {80};
    origen->clave = QStringLiteral("buena");

    bool bien = true;
    enEspacio(red.cliente, [&] {
        try {
            // The pages as the device sends them, to time our reading on its own.
            const auto [inicio, fin] = fechasPeriodo(QStringLiteral("Todo"));
            const QString base = QStringLiteral("http://%1:80").arg(red.ipServidor);
            QList<QByteArray> paginasHik, paginasDah;
            for (int p = 0; p < ITEMS; p += 100)
                paginasHik << pedir(*origen, base + "/ISAPI/ContentMgmt/search", "POST",
                                    cuerpoBusquedaHikvision(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(),
                                                            inicio, fin, p),
                                    std::nullopt, {})
                                  .datos;
            const QString buscador = base + "/cgi-bin/mediaFileFind.cgi?action=";
            const QString objeto =
                *uno(pedir(*origen, buscador + "factory.create", "GET", std::nullopt, std::nullopt, {}).texto(),
                     "result=(\\d+)");
            pedir(*origen,
                  buscador + "findFile&object=" + objeto +
                      "&condition.Channel=1&condition.StartTime=2000%2D01%2D01%2000%3A00%3A00"
                      "&condition.EndTime=2100%2D01%2D01%2000%3A00%3A00&condition.Types[0]=dav"
                      "&condition.Types[1]=mp4",
                  "GET", std::nullopt, std::nullopt, {});
            for (int p = 0; p < ITEMS; p += 100)
                paginasDah << pedir(*origen, buscador + "findNextFile&object=" + objeto + "&count=100",
                                    "GET", std::nullopt, std::nullopt, {})
                                  .datos;

            qsizetype leidos = 0;
            const PorPagina hPagina = msPorPagina(paginasHik, [&](const QByteArray& b) {
                return leerPaginaHikvision(QString::fromUtf8(b), origen).size();
            }, leidos);
            QElapsedTimer t;
            t.start();
            const auto lh = listarHikvision(origen, QStringLiteral("Todo")).ficheros;
            informar("Hikvision", hPagina, leidos, paginasHik.size(), t.elapsed() / 1000.0, lh.size());

            const PorPagina dPagina = msPorPagina(paginasDah, [&](const QByteArray& b) {
                return ficherosDahua(leerItemsDahua(b), origen).size();
            }, leidos);
            t.restart();
            const auto ld = listarDahua(origen, QStringLiteral("Todo")).ficheros;
            informar("Dahua", dPagina, leidos, paginasDah.size(), t.elapsed() / 1000.0, ld.size());
            bien = lh.size() == ITEMS && ld.size() == ITEMS;
        } catch (const ErrorCamara& e) {
            std::fprintf(stderr, "%s\n", e.what());
            bien = false;
        }
    });
    return bien ? 0 : 1;
}

#pragma once
// A recorder for tests: a real lighttpd, digest authentication in front, serving fakes of
// the web APIs of three recorder families (the Hikvision search and download, the Dahua
// file finder and file loading, the VStarcam memory-card index pages, which lighttpd's own
// directory listing draws) with the recordings the test places. The families' code reaches
// a device only on port 80 or 8080, so it runs inside a test network namespace; the whole
// program can be pointed at it there too.
#include "apoyo/servidor_web.h"
#include "grabadores/modelo.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

struct ItemHikvision {
    // As the device writes them into its XML; absent: the element is left out.
    std::optional<QString> inicio, fin, uri;
    QString fichero;  // the recording served for this playback locator
    int canal = 1;    // searched as track canal*100+1
};

struct ItemDahua {
    QString inicio, fin, ruta;      // written into the reply as given
    std::optional<qint64> largo;    // absent: the size of `fichero`
    QString fichero;                // the recording served for `ruta`
    int canal = 1;
};

struct GuionDahua {
    bool sinBuscador = false;  // factory.create answers without an object
    int fallarEnPagina = 0;    // the n-th findNextFile answers 500 (0: none does)
    bool inverso = false;      // items of a page written last first
    // What magicBox and devVideoInput count (-1: no such page); the ChannelTitle names.
    int maxRemotas = -1, entradas = -1;
    QStringList titulos = {};
};

struct OpcionesGrabador {
    QString direccion = QStringLiteral("127.0.0.1");
    int puerto = 0;  // 0: a free port on loopback, 80 inside a namespace
    QString espacio;
    QString usuario = QStringLiteral("admin");
    QString clave = QStringLiteral("buena");
    QStringList familias = {QStringLiteral("hikvision"), QStringLiteral("dahua"),
                            QStringLiteral("vstarcam")};
    QString extra;  // more lighttpd configuration (a speed limit, streaming)
};

struct PeticionVista {
    QString metodo, uri, cuerpo;
};

class GrabadorFalso {
public:
    explicit GrabadorFalso(OpcionesGrabador opciones = {});

    bool listo() const { return web->listo(); }
    QString error() const { return web->error(); }
    QString ip() const { return op.direccion; }
    int puerto() const { return web->puerto(); }

    // A recording the APIs can serve by this name; `cortada`: its length is announced but
    // only half of it is sent before the connection ends.
    void grabacion(const QString& nombre, const QByteArray& datos, bool cortada = false) const;
    // A bad link for `nombre`: the n-th request ends after byte cortes[n]; `rangos`: ranges
    // are answered 206; `otro`: the recording served from the second request on.
    void fallos(const QString& nombre, const QList<int64_t>& cortes, bool rangos, const QString& otro = {}) const;
    // A recording of `tamano` zero bytes, sparse on disk (a gigabyte without writing one).
    bool grabacionHueca(const QString& nombre, qint64 tamano) const;
    // With the NVR's IP channel list and the list of video inputs (absent: no such page).
    void hikvision(const QList<ItemHikvision>& items, const std::optional<QList<Canal>>& proxy = std::nullopt,
                   const std::optional<QList<Canal>>& entradas = std::nullopt) const;
    void dahua(const QList<ItemDahua>& items, const GuionDahua& guion = {}) const;
    // A file on the memory card at `ruta` below "/sd/" ("20240305/record000/x.264");
    // an "index.html" replaces the listing of its folder.
    void tarjeta(const QString& ruta, const QByteArray& datos) const;

    // Its clock `adelanto` s ahead of the PC's, `zona` min east of UTC (else it won't say).
    void reloj(qint64 adelanto, int zona) const;
    int fallos() const;  // wrong passwords seen; from the third on it answers as locked

    // Every request the fakes answered, in order (not the memory card's pages).
    QList<PeticionVista> peticiones() const;
    // The action of every finder request, in order ("factory.create", "findFile", ...).
    QStringList accionesDahua() const;

private:
    QString datos() const { return web->carpeta() + QStringLiteral("/datos"); }
    OpcionesGrabador op;
    std::unique_ptr<ServidorWeb> web;
};

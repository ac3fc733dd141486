#pragma once
// What the benchmarks of a big Hikvision download share: the size asked for, a recorder
// fake holding one recording of that size, and that recording as the recorder lists it.
// The fakes live in test network namespaces, which only root can make.
#include "apoyo/espacio_red.h"
#include "apoyo/grabador_falso.h"
#include "grabadores/hikvision.h"

#include <QDateTime>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

inline const QString kUsuarioBanco = QStringLiteral("admin");
inline const QString kClaveBanco = QStringLiteral("banco");

// The size in bytes the optional first argument gives in MiB (1 GiB without one); 0, after
// saying why, when this does not run as root.
inline qint64 tamanoPedido(int argc, char** argv)
{
    if (!puedeCrearEspacios()) {
        std::fprintf(stderr, "hace falta ser root para crear espacios de red\n");
        return 0;
    }
    return (argc > 1 ? std::max(1, std::atoi(argv[1])) : 1024) * 1048576LL;
}

// A Hikvision recorder fake at `ip` in `red` with one recording, "grande.mp4", of `tam`
// bytes (a hollow file), its reply passed on as it comes rather than held a gigabyte before
// sending; `extra` more lighttpd settings. Null, after saying why, when it cannot start.
inline std::unique_ptr<GrabadorFalso> grabadorGrande(const EspacioRed& red, const QString& ip, qint64 tam,
                                                     const QString& extra = {})
{
    OpcionesGrabador o;
    o.direccion = ip;
    o.espacio = red.servidor;
    o.usuario = kUsuarioBanco;
    o.clave = kClaveBanco;
    o.familias = {QStringLiteral("hikvision")};
    o.extra = QStringLiteral("server.stream-response-body = 2\n") + extra;
    auto g = std::make_unique<GrabadorFalso>(o);
    if (!g->listo() || !g->grabacionHueca(QStringLiteral("grande.mp4"), tam)) {
        std::fprintf(stderr, "%s\n", qPrintable(g->error()));
        return nullptr;
    }
    const QString hace = QDateTime::currentDateTimeUtc().addSecs(-3600).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
    g->hikvision({{hace, hace, QStringLiteral("rtsp://%1/Streaming/tracks/101?starttime=1&amp;size=%2").arg(ip).arg(tam),
                   QStringLiteral("grande.mp4")}});
    return g;
}

// The recorder's one recording, as its own listing gives it; null when it gives another count.
inline FicheroPtr grabacionDe(const QString& ip)
{
    auto o = std::make_shared<Origen>(QStringLiteral("red"), ip, ip, QStringLiteral("hikvision"));
    o->ip = ip;
    o->puertos = {80};
    o->familia = QStringLiteral("hikvision");
    o->usuario = kUsuarioBanco;
    o->clave = kClaveBanco;
    const QList<FicheroPtr> l = listarHikvision(o, QStringLiteral("7 días")).ficheros;
    return l.size() == 1 ? l.first() : nullptr;
}

#pragma once
// A real RTSP server (GStreamer's) with a moving test picture on the paths chosen. RTSP
// is always port 554 here, so it runs inside a test network namespace.
#include <QList>
#include <QString>
#include <memory>
#include <utility>

class GuionServidor;

struct OpcionesRTSP {
    QString espacio;                                 // namespace of the server end
    QString direccion = QStringLiteral("0.0.0.0");   // address to listen on inside it
    QString autenticacion = QStringLiteral("ninguna");  // or "basica", "digest"
    QString usuario, clave;
    // Each path with what it carries: "video" (H.264), "sonido" (H.264 and G.711 audio),
    // "audio" (G.711 only) or "atasca"
    // (video that freezes after five seconds without ending). A query is ignored.
    QList<std::pair<QString, QString>> rutas;
};

class ServidorRTSP {
public:
    explicit ServidorRTSP(const OpcionesRTSP& opciones);
    ~ServidorRTSP();
    ServidorRTSP(const ServidorRTSP&) = delete;
    ServidorRTSP& operator=(const ServidorRTSP&) = delete;

    bool listo() const;
    QString error() const;

private:
    std::unique_ptr<GuionServidor> guion;
};

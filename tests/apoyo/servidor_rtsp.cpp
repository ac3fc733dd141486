#include "apoyo/servidor_rtsp.h"

#include "apoyo/guion_servidor.h"

#include <QStringList>

ServidorRTSP::ServidorRTSP(const OpcionesRTSP& op) {
    QStringList args{op.direccion, QStringLiteral("554"), op.autenticacion, op.usuario, op.clave};
    for (const auto& [ruta, clase] : op.rutas) args << ruta + QLatin1Char('=') + clase;
    guion = std::make_unique<GuionServidor>(QStringLiteral("servidor_rtsp.py"), args, op.espacio);
}

ServidorRTSP::~ServidorRTSP() = default;

bool ServidorRTSP::listo() const { return guion->listo(); }
QString ServidorRTSP::error() const { return guion->error(); }

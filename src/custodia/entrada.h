#pragma once
// One entry of a case's chain-of-custody register: one file the cameras window put into
// the case, as its record beside it describes it, plus what ties the entry to the others
// (the SHA-256 of the line before it) and to the machine that wrote it. One entry is one
// line of JSON; the register's format is described in the README.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

// "anterior" of the first entry: there is no line before it.
inline const QString kCadenaInicial = QString(64, QLatin1Char('0'));

struct EntradaCustodia {
    QString fichero;  // relative to the case folder, '/' between components
    QString clase;    // "descarga" (from a device), "copia" (from a drive or folder), "directo"
    QString tipoOrigen, origen, direccion, familia, modelo, ubicacion;
    int canal = 0;    // 0: the source has no channels
    QString nombreCanal;
    std::optional<int64_t> desfaseRelojMs;  // device clock minus PC clock
    QString inicioGrabacion;  // ISO 8601 local time with its offset; empty when unknown
    int segundosDirecto = 0;
    bool detenidoAlCerrar = false;
    int intentos = 1;  // a download's tries: more than one when the link failed on the way
    QList<int64_t> reanudadaEn;  // where tries took up the bytes earlier ones had kept
    QString inicioDescarga, finDescarga;  // ISO 8601 UTC
    int64_t tamano = 0;
    QString sha256, sha256Registro;  // of the file, and of its record "<fichero>.txt"
    // Set when the entry is appended.
    QString anotada;  // ISO 8601 UTC
    QString version, equipo, usuarioPC;
    QString anterior;  // SHA-256 of the register's previous line, as bytes
};

// The entry as one line of JSON, without the line break: keys in a fixed order, every
// control character escaped (a name can never split the line), and characters that stand
// for bytes that were not UTF-8 (see comun/nombres.h) written as their \udcXX escape, so
// the name reads back to the same bytes.
QByteArray lineaDeEntrada(const EntradaCustodia& e);

// The entry a line holds, or nothing with the reason in `motivo`: not JSON, not an
// object, an unknown format, a required field missing or of the wrong kind.
std::optional<EntradaCustodia> entradaDeLinea(const QByteArray& linea, QString* motivo);

// A local time as ISO 8601 with its offset from UTC ("2024-05-01T08:00:00+02:00").
QString horaLocalISO(const QDateTime& hora);

// A download's tries as its record and the case's report say them: "3 (reanudada en 812 MiB)".
QString textoIntentos(int intentos, const QList<int64_t>& reanudadaEn);

// 64 lower-case hex digits.
bool esHuella(const QString& texto);

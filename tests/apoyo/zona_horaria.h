#pragma once
// Runs a block of a test under another time zone (TZ), restoring the previous one after.
#include <QByteArray>

class ZonaHoraria {
public:
    explicit ZonaHoraria(const char* zona);
    ~ZonaHoraria();
    ZonaHoraria(const ZonaHoraria&) = delete;
    ZonaHoraria& operator=(const ZonaHoraria&) = delete;

private:
    QByteArray antes;
    bool habia;
};

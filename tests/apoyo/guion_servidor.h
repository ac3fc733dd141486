#pragma once
// A test server written in Python (Debian's interpreter and modules), started on the
// host's loopback or inside a test network namespace. The script prints "listo" once it
// accepts connections; the fixture waits for that line and ends the script when destroyed.
#include <QString>
#include <QStringList>
#include <memory>

class QProcess;

class GuionServidor {
public:
    // `guion` is a file name in tests/apoyo; `espacio` empty runs it on the host.
    GuionServidor(const QString& guion, const QStringList& args, const QString& espacio);
    ~GuionServidor();
    GuionServidor(const GuionServidor&) = delete;
    GuionServidor& operator=(const GuionServidor&) = delete;

    bool listo() const { return bien; }
    QString error() const { return fallo; }
    // Ends the script now, as a device that goes away.
    void parar();

private:
    std::unique_ptr<QProcess> proceso;
    bool bien = false;
    QString fallo;
};

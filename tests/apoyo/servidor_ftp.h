#pragma once
// A real FTP server (pyftpdlib) serving a temporary folder read-only to one user, on
// loopback at a free port or inside a test network namespace at port 21.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class GuionServidor;

struct OpcionesFTP {
    QString usuario = QStringLiteral("admin");
    QString clave = QStringLiteral("clave");
    bool dos = false;          // listing lines as a Windows server writes them
    int bytesPorSegundo = 0;   // slowed-down downloads; 0 at full speed
    QString espacio;           // network namespace to run in; empty: the host's loopback
    QString direccion = QStringLiteral("127.0.0.1");
};

class ServidorFTP {
public:
    explicit ServidorFTP(OpcionesFTP opciones = {});
    ~ServidorFTP();
    ServidorFTP(const ServidorFTP&) = delete;
    ServidorFTP& operator=(const ServidorFTP&) = delete;

    bool listo() const;
    QString error() const;
    // What a source's address must hold to reach the server: "127.0.0.1:<port>" on
    // loopback, the bare address at port 21 inside a namespace.
    QString direccion() const;
    // The folder served as "/".
    QString raiz() const { return dir.path(); }
    // Puts a file under the served folder, folders included.
    void poner(const QString& ruta, const QByteArray& datos) const;
    // Ends the server now, as a device that goes away in the middle of a transfer.
    void parar();

private:
    OpcionesFTP op;
    int puerto = 21;
    QTemporaryDir dir;
    std::unique_ptr<GuionServidor> guion;
};

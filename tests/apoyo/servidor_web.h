#pragma once
// A real lighttpd for tests, run in the foreground with its own configuration in a
// temporary folder, on loopback or inside a test network namespace.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class QProcess;

struct OpcionesWeb {
    QString direccion = QStringLiteral("127.0.0.1");
    int puerto = 0;       // 0: a free port on loopback, 80 inside a namespace
    QString espacio;      // network namespace to run in; empty: the host's loopback
    bool https = false;   // with a self-signed certificate made for the occasion
    QString etiqueta;     // the "Server" header; empty keeps lighttpd's own
    QString extra;        // more configuration (auth, cgi, rewrites); %CARPETA% is replaced
};

class ServidorWeb {
public:
    explicit ServidorWeb(OpcionesWeb opciones = {});
    ~ServidorWeb();
    ServidorWeb(const ServidorWeb&) = delete;
    ServidorWeb& operator=(const ServidorWeb&) = delete;

    bool listo() const { return bien; }
    QString error() const { return fallo; }
    QString url(const QString& ruta = QStringLiteral("/")) const;
    // The temporary folder holding the configuration; the document root is its "www".
    QString carpeta() const { return dir.path(); }
    QString raiz() const { return dir.path() + QStringLiteral("/www"); }
    int puerto() const { return op.puerto; }
    // Puts a file under the document root, folders included.
    void poner(const QString& nombre, const QByteArray& datos) const;

    // An htdigest line (MD5 of user:realm:password) and a plain-text basic user line.
    static QString lineaDigest(const QString& usuario, const QString& reino, const QString& clave);

private:
    bool certificado();
    bool esperarAceptando();
    OpcionesWeb op;
    QTemporaryDir dir;
    std::unique_ptr<QProcess> proceso;
    bool bien = false;
    QString fallo;
};

// A free TCP port on 127.0.0.1 at the time of asking.
int puertoLibre();

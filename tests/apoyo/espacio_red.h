#pragma once
// Isolated networks for tests that must leave loopback: two network namespaces joined by
// a veth pair inside 10.77.0.0/16. The host namespace never gets any of these addresses
// or routes; both ends are created directly inside the test namespaces.
#include <QString>
#include <QStringList>
#include <functional>

// True when the process may create namespaces (runs as root).
bool puedeCrearEspacios();

// Moves the calling thread (and the threads it starts from then on) into the named network
// namespace (or the one at a path starting with "/"); false when it cannot.
bool entrarEnEspacio(const QString& espacio);

// The calling thread, and every thread it starts meanwhile (a window's own workers), in
// the named namespace until the end of the scope; then in the machine's own.
struct DentroDe {
    explicit DentroDe(const QString& espacio) { entrarEnEspacio(espacio); }
    ~DentroDe() { entrarEnEspacio(QStringLiteral("/proc/1/ns/net")); }
};

// Runs `f` on a fresh thread that has entered the named network namespace; sockets made
// there belong to that namespace. Returns false (without running f) when it cannot enter.
bool enEspacio(const QString& espacio, const std::function<void()>& f);

// A TCP socket listening on ip:puerto inside the namespace (the kernel completes handshakes
// for it); -1 when it cannot be made. The caller closes it.
int escucharEn(const QString& espacio, const QString& ip, int puerto);

// Runs a command, waits up to `limiteMs`, returns its exit status (-1 if it did not run).
int orden(const QString& programa, const QStringList& args, int limiteMs = 20000,
          QString* salida = nullptr);

class EspacioRed {
public:
    // The client end gets 10.77.<red>.1, the server end 10.77.<red>.2, both /prefijo
    // (24 or narrower).
    explicit EspacioRed(int red, int prefijo = 29);
    ~EspacioRed();
    EspacioRed(const EspacioRed&) = delete;
    EspacioRed& operator=(const EspacioRed&) = delete;

    bool listo() const { return bien; }
    QString error() const { return fallo; }

    // One more address on the server end, e.g. 10.77.<red>.5, with the same prefix.
    bool agregarDireccion(const QString& ip);
    // The command line that runs a program inside a namespace.
    static QStringList dentro(const QString& espacio, const QStringList& orden);

    QString cliente, servidor;        // namespace names
    QString ipCliente, ipServidor;
    QString vethCliente, vethServidor;
    int prefijo;

private:
    bool paso(const QStringList& args);
    void quitar();
    bool bien = false;
    QString fallo;
};

#pragma once
// One updater run at a time: two runs copying and swapping the same player at once
// would install a mix of both.
#include <QString>

class Bloqueo {
public:
    // Takes an exclusive lock on the file (created when missing, never through a
    // link) without waiting; held until the object ends.
    explicit Bloqueo(const QString& ruta);
    ~Bloqueo();
    Bloqueo(const Bloqueo&) = delete;
    Bloqueo& operator=(const Bloqueo&) = delete;

    bool tomado() const { return fd >= 0; }
    bool ocupado() const { return enUso; } // another run holds it
    QString error() const { return fallo; }

private:
    int fd = -1;
    bool enUso = false;
    QString fallo;
};

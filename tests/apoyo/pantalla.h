#pragma once
// A private X display per test (a free number drawn at random) and xdotool to drive the
// program's windows the way a person would.
#include "apoyo/programa.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <memory>

class PantallaVirtual {
public:
    // `geometria` is Xvfb's screen: width x height x depth.
    explicit PantallaVirtual(const QString& geometria = QStringLiteral("1280x800x24"));
    ~PantallaVirtual();
    PantallaVirtual(const PantallaVirtual&) = delete;
    PantallaVirtual& operator=(const PantallaVirtual&) = delete;

    bool lista() const { return !display_.isEmpty(); }
    const QString& display() const { return display_; }
    QProcessEnvironment entorno() const;

    // Runs xdotool against this display; its standard output, trimmed.
    QString xdotool(const QStringList& args, int limiteMs = 15000) const;
    // The id of the first visible window whose title matches, or "" after `limiteMs`.
    QString esperarVentana(const QString& titulo, int limiteMs = 20000) const;
    void teclear(const QString& texto) const;
    void teclas(const QStringList& nombres) const;
    // Clicks at (x, y) inside the window.
    void pulsarEn(const QString& ventana, int x, int y) const;
    // Asks the window to close, as its title bar's close button would (WM_DELETE_WINDOW;
    // xdotool's own windowclose destroys the window instead).
    bool cerrarVentana(const QString& ventana) const;
    // Saves the whole screen as a PNG (ImageMagick's import).
    bool captura(const QString& ruta) const;

private:
    QProcess xvfb_;
    QString display_;
};

// The program running on a virtual display, ended and collected by `terminar`.
class Ejecucion {
public:
    Ejecucion(const PantallaVirtual& pantalla, const QStringList& args,
              const QString& carpetaTrabajo = QString());
    ~Ejecucion();
    // Waits for the program to end by itself; kills it after `limiteMs` (estado -1).
    Corrida terminar(int limiteMs = 20000);

private:
    QProcess p_;
};

#pragma once
// A private X display per test (a free number drawn at random) and xdotool to drive the
// program's windows the way a person would.
#include "apoyo/programa.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <memory>

class PantallaVirtual {
public:
    // With `conAutorizacion` the server accepts only clients holding its cookie (entorno()
    // carries it in XAUTHORITY): take it away to see a display refuse a program.
    // `pantalla` is Xvfb's screen: width x height x depth.
    explicit PantallaVirtual(bool conAutorizacion = false,
                             const QString& pantalla = QStringLiteral("1280x800x24"));
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
    // Closes the X connection of the program that owns the window (xkill), as a dying X
    // server or a dropped remote session would.
    bool cortarConexion(const QString& ventana) const;
    // Saves the whole screen as a PNG (ImageMagick's import).
    bool captura(const QString& ruta) const;
    // Where the window is on the screen (xdotool's view); empty when it is not known.
    QRect geometria(const QString& ventana) const;

private:
    void mapearLetrasEspanolas() const;
    QProcess xvfb_;
    QString display_;
    QString autorizacion_; // the cookie file, when there is one
};

// The program running on a virtual display, ended and collected by `terminar`.
class Ejecucion {
public:
    // `entorno`, when given, replaces the display's own (it must carry the display).
    // `espacio` runs the program inside that test network namespace; it still reaches
    // the display through the X socket file, which no network namespace hides.
    Ejecucion(const PantallaVirtual& pantalla, const QStringList& args,
              const QString& carpetaTrabajo = QString(),
              const QProcessEnvironment& entorno = QProcessEnvironment(),
              const QString& espacio = QString());
    ~Ejecucion();
    // Waits for the program to end by itself; kills it after `limiteMs` (estado -1).
    Corrida terminar(int limiteMs = 20000);
    // Kills the program now, as a crash or the player would, and collects it.
    Corrida matar();

private:
    QProcess p_;
};

#include "apoyo/pantalla.h"

#include "apoyo/espacio_red.h"

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {

// True once an X client can talk to the display.
bool responde(const QString& display, const QString& autorizacion)
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("DISPLAY"), display);
    if (!autorizacion.isEmpty())
        e.insert(QStringLiteral("XAUTHORITY"), autorizacion);
    p.setProcessEnvironment(e);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(QStringLiteral("/usr/bin/xdpyinfo"));
    return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// An Xauthority file with one MIT-MAGIC-COOKIE-1 entry for any host and any display
// (family "wild", empty display number): the server loads its cookie, clients find it.
QString escribirAutorizacion()
{
    const auto campo = [](const QByteArray& b) {
        return QByteArray(1, char(b.size() >> 8)) + char(b.size() & 0xff) + b;
    };
    QByteArray galleta(16, '\0');
    for (char& c : galleta)
        c = char(QRandomGenerator::global()->bounded(256));
    const QByteArray entrada = QByteArray("\xff\xff", 2) + campo({}) + campo({})
        + campo("MIT-MAGIC-COOKIE-1") + campo(galleta);
    const QString ruta = QDir::temp().filePath(
        QStringLiteral("zorv-xauth-%1").arg(QRandomGenerator::global()->generate64(), 0, 16));
    return escribirArchivo(ruta, entrada) ? ruta : QString();
}

} // namespace

PantallaVirtual::PantallaVirtual(bool conAutorizacion, const QString& pantalla)
{
    if (conAutorizacion && (autorizacion_ = escribirAutorizacion()).isEmpty())
        return;
    // A random display number far from the usual ones; a number already held by
    // another server makes Xvfb exit at once and we draw again. We only hand out a
    // display a client has actually reached. No TCP: the display stays on this machine.
    // -noreset: otherwise the server regenerates each time its last client leaves, and
    // a program starting in that instant cannot connect.
    for (int intento = 0; intento < 8 && display_.isEmpty(); ++intento) {
        const QString candidato =
            QLatin1Char(':') + QString::number(300 + QRandomGenerator::global()->bounded(3000));
        xvfb_.setProgram(QStringLiteral("/usr/bin/Xvfb"));
        QStringList args{candidato, QStringLiteral("-screen"), QStringLiteral("0"),
                         pantalla, QStringLiteral("-nolisten"),
                         QStringLiteral("tcp"), QStringLiteral("-noreset")};
        if (!autorizacion_.isEmpty())
            args << QStringLiteral("-auth") << autorizacion_;
        xvfb_.setArguments(args);
        xvfb_.setStandardOutputFile(QProcess::nullDevice());
        xvfb_.setStandardErrorFile(QProcess::nullDevice());
        xvfb_.start();
        if (!xvfb_.waitForStarted(5000))
            return;
        QElapsedTimer reloj;
        reloj.start();
        while (reloj.elapsed() < 15000 && xvfb_.state() == QProcess::Running) {
            if (responde(candidato, autorizacion_)) {
                display_ = candidato;
                break;
            }
            QThread::msleep(100);
        }
        if (display_.isEmpty() && xvfb_.state() != QProcess::NotRunning) {
            xvfb_.kill();
            xvfb_.waitForFinished(2000);
        }
    }
    if (!display_.isEmpty())
        mapearLetrasEspanolas();
}

// xdotool types a letter missing from the keymap by binding it to a spare key for a moment
// and unbinding it again; a program slow to read the keymap (a loaded machine) then sees
// the wrong letter or none. With the Spanish letters bound for good, it never has to.
void PantallaVirtual::mapearLetrasEspanolas() const
{
    // Keycodes Xvfb's default map leaves empty.
    const QStringList expresiones{
        QStringLiteral("keycode 93 = aacute Aacute"),   QStringLiteral("keycode 97 = eacute Eacute"),
        QStringLiteral("keycode 103 = iacute Iacute"),  QStringLiteral("keycode 120 = oacute Oacute"),
        QStringLiteral("keycode 132 = uacute Uacute"),  QStringLiteral("keycode 149 = ntilde Ntilde"),
        QStringLiteral("keycode 154 = udiaeresis Udiaeresis"),
        QStringLiteral("keycode 168 = questiondown exclamdown"),
    };
    QStringList args;
    for (const QString& e : expresiones)
        args << QStringLiteral("-e") << e;
    QProcess p;
    p.setProcessEnvironment(entorno());
    p.start(QStringLiteral("/usr/bin/xmodmap"), args);
    p.waitForFinished(10000);
}

PantallaVirtual::~PantallaVirtual()
{
    if (!autorizacion_.isEmpty())
        QFile::remove(autorizacion_);
    if (xvfb_.state() != QProcess::NotRunning) {
        xvfb_.terminate();
        if (!xvfb_.waitForFinished(5000)) {
            xvfb_.kill();
            xvfb_.waitForFinished(2000);
        }
    }
}

QProcessEnvironment PantallaVirtual::entorno() const
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("DISPLAY"), display_);
    e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    e.remove(QStringLiteral("WAYLAND_DISPLAY"));
    e.remove(QStringLiteral("ZORV_DEPURAR"));
    if (!autorizacion_.isEmpty())
        e.insert(QStringLiteral("XAUTHORITY"), autorizacion_);
    return e;
}

QString PantallaVirtual::xdotool(const QStringList& args, int limiteMs) const
{
    QProcess p;
    p.setProcessEnvironment(entorno());
    p.start(QStringLiteral("/usr/bin/xdotool"), args);
    if (!p.waitForFinished(limiteMs)) {
        p.kill();
        p.waitForFinished(1000);
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString PantallaVirtual::esperarVentana(const QString& titulo, int limiteMs) const
{
    QElapsedTimer reloj;
    reloj.start();
    while (reloj.elapsed() < limiteMs) {
        const QString ids = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                     QStringLiteral("--name"), titulo});
        if (!ids.isEmpty()) {
            // Give the toolkit a moment to finish its first paint and take the focus.
            QThread::msleep(400);
            return ids.split(QLatin1Char('\n')).first();
        }
        QThread::msleep(100);
    }
    return {};
}

void PantallaVirtual::teclear(const QString& texto) const
{
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), texto});
}

void PantallaVirtual::teclas(const QStringList& nombres) const
{
    QStringList args{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("80")};
    xdotool(args + nombres);
}

void PantallaVirtual::pulsarEn(const QString& ventana, int x, int y) const
{
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), ventana, QString::number(x),
             QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
}

bool PantallaVirtual::cortarConexion(const QString& ventana) const
{
    QProcess p;
    p.setProcessEnvironment(entorno());
    p.start(QStringLiteral("/usr/bin/xkill"), {QStringLiteral("-id"), ventana});
    return p.waitForFinished(15000) && p.exitCode() == 0;
}

bool PantallaVirtual::captura(const QString& ruta) const
{
    QProcess p;
    p.setProcessEnvironment(entorno());
    p.start(QStringLiteral("/usr/bin/import"),
            {QStringLiteral("-window"), QStringLiteral("root"), ruta});
    return p.waitForFinished(15000) && p.exitCode() == 0;
}

QRect PantallaVirtual::geometria(const QString& ventana) const
{
    // "Position: 327,154 (screen: 0)" and "Geometry: 606x412".
    const QString texto = xdotool({QStringLiteral("getwindowgeometry"), ventana});
    static const QRegularExpression patron(
        QStringLiteral("Position: (\\d+),(\\d+).*Geometry: (\\d+)x(\\d+)"),
        QRegularExpression::DotMatchesEverythingOption);
    const auto m = patron.match(texto);
    if (!m.hasMatch())
        return {};
    return QRect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                 m.captured(4).toInt());
}

Ejecucion::Ejecucion(const PantallaVirtual& pantalla, const QStringList& args,
                     const QString& carpetaTrabajo, const QProcessEnvironment& entorno,
                     const QString& espacio)
{
    p_.setProcessEnvironment(entorno.isEmpty() ? pantalla.entorno() : entorno);
    p_.setStandardInputFile(QProcess::nullDevice());
    if (!carpetaTrabajo.isEmpty())
        p_.setWorkingDirectory(carpetaTrabajo);
    // "ip netns exec" becomes the program itself (it execs), so killing this process
    // kills the program.
    if (espacio.isEmpty())
        p_.start(rutaPrograma(), args);
    else
        p_.start(QStringLiteral("ip"), EspacioRed::dentro(espacio, QStringList{rutaPrograma()} + args));
    p_.waitForStarted(10000);
}

Ejecucion::~Ejecucion()
{
    if (p_.state() != QProcess::NotRunning) {
        p_.kill();
        p_.waitForFinished(2000);
    }
}

Corrida Ejecucion::matar()
{
    p_.kill();
    p_.waitForFinished(5000);
    Corrida c;
    c.salida = p_.readAllStandardOutput();
    c.errores = p_.readAllStandardError();
    return c;
}

Corrida Ejecucion::terminar(int limiteMs)
{
    Corrida c;
    if (!p_.waitForFinished(limiteMs)) {
        p_.kill();
        p_.waitForFinished(2000);
        c.salida = p_.readAllStandardOutput();
        return c;
    }
    c.estado = p_.exitStatus() == QProcess::NormalExit ? p_.exitCode() : -1;
    c.salida = p_.readAllStandardOutput();
    c.errores = p_.readAllStandardError();
    return c;
}

bool PantallaVirtual::cerrarVentana(const QString& ventana) const
{
    bool ok = false;
    const xcb_window_t id = ventana.toUInt(&ok);
    if (!ok)
        return false;
    xcb_connection_t* x = xcb_connect(display_.toLocal8Bit().constData(), nullptr);
    if (xcb_connection_has_error(x)) {
        xcb_disconnect(x);
        return false;
    }
    auto atomo = [x](const char* nombre) {
        xcb_intern_atom_reply_t* r =
            xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, uint16_t(strlen(nombre)), nombre), nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(r);
        return a;
    };
    xcb_client_message_event_t e{};
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = id;
    e.type = atomo("WM_PROTOCOLS");
    e.data.data32[0] = atomo("WM_DELETE_WINDOW");
    e.data.data32[1] = XCB_CURRENT_TIME;
    const xcb_void_cookie_t envio =
        xcb_send_event_checked(x, 0, id, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
    xcb_generic_error_t* error = xcb_request_check(x, envio);
    free(error);
    xcb_disconnect(x);
    return error == nullptr;
}

#include "estilo/ventana_zorv.h"

#include "comun/salida.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <algorithm>

VentanaZORV::VentanaZORV(const QString& titulo, int ancho, int alto, bool redimensionable)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                           | Qt::WindowMinimizeButtonHint | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(QStringLiteral("ZorvPlayer - ") + titulo);
    const QScreen* pantalla = QGuiApplication::primaryScreen();
    const QRect zona = pantalla ? pantalla->availableGeometry() : QRect(0, 0, ancho, alto);
    if (redimensionable) {
        // On a screen smaller than the window, as big as it allows: a corner that cannot
        // be reached cannot be resized either.
        resize(std::min(ancho, zona.width()), std::min(alto, zona.height()));
        setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    } else {
        setFixedSize(ancho, alto);
    }
    // The owner keeps the window; Qt must not free it behind the controller's back.
    setAttribute(Qt::WA_DeleteOnClose, false);
    // Centred, but never with its title bar above or left of the screen.
    move(std::max(zona.x(), zona.x() + (zona.width() - width()) / 2),
         std::max(zona.y(), zona.y() + (zona.height() - height()) / 2));
}

void VentanaZORV::showEvent(QShowEvent* e)
{
    cerrada_ = false;
    QWidget::showEvent(e);
}

void VentanaZORV::closeEvent(QCloseEvent* e)
{
    QWidget::closeEvent(e);
    if (!e->isAccepted())
        return;
    // Qt can deliver a second close (close() from code while the close button's event
    // is still unwinding); the handler must see the window end only once.
    if (!cerrada_) {
        cerrada_ = true;
        if (alCerrar)
            alCerrar();
    }
    pararModal();
}

void VentanaZORV::pararModal()
{
    if (bucle_)
        bucle_->quit();
}

void VentanaZORV::mostrarDelante()
{
    show();
    raise();
    activateWindow();
    if (!qEnvironmentVariableIsSet("ZORV_DEPURAR"))
        return;
    QPointer<VentanaZORV> debil(this);
    QTimer::singleShot(2000, qApp, [debil] {
        if (debil)
            for (const QString& linea : volcadoVistas(debil))
                aviso(linea);
    });
}

void VentanaZORV::mostrarModal()
{
    setWindowModality(Qt::ApplicationModal);
    QEventLoop bucle;
    bucle_ = &bucle;
    mostrarDelante();
    if (isVisible())
        bucle.exec();
    bucle_ = nullptr;
}

namespace {

QString numeroMarco(double v)
{
    QString t = QString::number(v, 'g', 15);
    if (!t.contains(QLatin1Char('.')) && !t.contains(QLatin1Char('e')))
        t += QStringLiteral(".0");
    return t;
}

QString marco(const QRect& r)
{
    return QStringLiteral("(%1, %2, %3, %4)")
        .arg(numeroMarco(r.x()), numeroMarco(r.y()), numeroMarco(r.width()),
             numeroMarco(r.height()));
}

QString textoDeVista(const QWidget* w)
{
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (auto* t = qobject_cast<const QLineEdit*>(w))
        return t->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    return {};
}

void volcar(const QWidget* w, int nivel, QStringList& lineas)
{
    QString nombre = QString::fromLatin1(w->metaObject()->className());
    nombre = nombre.mid(nombre.lastIndexOf(QLatin1Char(':')) + 1);
    QString linea = QString(2 * nivel, QLatin1Char(' ')) + nombre + QLatin1Char(' ')
        + marco(w->geometry()) + QStringLiteral(" oculto=")
        + (w->isHidden() ? QStringLiteral("true") : QStringLiteral("false"))
        + QStringLiteral(" flip=true amb=false");
    const QString texto = textoDeVista(w);
    if (!texto.isEmpty())
        linea += QLatin1Char(' ') + texto.left(30);
    lineas << linea;
    if (nivel > 5)
        return;
    for (QObject* o : w->children())
        if (auto* hijo = qobject_cast<const QWidget*>(o); hijo && !hijo->isWindow())
            volcar(hijo, nivel + 1, lineas);
}

} // namespace

QStringList volcadoVistas(const QWidget* ventana)
{
    QStringList lineas;
    if (!ventana)
        return lineas;
    lineas << QStringLiteral("ventana ") + marco(ventana->frameGeometry());
    // Our windows have no separate content view: the window widget is the root.
    volcar(ventana, 0, lineas);
    return lineas;
}

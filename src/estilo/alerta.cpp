#include "estilo/dialogo_alerta.h"

#include "estilo/etiqueta.h"

#include <QApplication>
#include <QCursor>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// Room kept between the alert and the edges of the screen's available area.
constexpr int kMargenPantalla = 24;
// Margins and spacing of the alert's layout (left, top, right, bottom; icon to text).
constexpr int kMargenIzq = 20, kMargenArriba = 20, kMargenDer = 20, kMargenAbajo = 16;
constexpr int kIcono = 48, kEspacioIcono = 16;
// Unbroken runs longer than this may be broken anywhere.
constexpr int kPalabraLarga = 30;

QLabel* icono(EstiloAlerta estilo)
{
    const auto tipo = estilo == EstiloAlerta::aviso ? QStyle::SP_MessageBoxWarning
                                                    : QStyle::SP_MessageBoxInformation;
    auto* l = new QLabel;
    l->setPixmap(QApplication::style()->standardIcon(tipo).pixmap(kIcono, kIcono));
    l->setAlignment(Qt::AlignTop);
    return l;
}

// The available area of the screen the alert will appear on.
QRect zonaPantalla()
{
    const QScreen* pantalla = QGuiApplication::screenAt(QCursor::pos());
    if (!pantalla)
        pantalla = QGuiApplication::primaryScreen();
    return pantalla ? pantalla->availableGeometry() : QRect(0, 0, 1024, 768);
}

} // namespace

QString cortableEnCualquierSitio(const QString& texto)
{
    // A label wraps at word boundaries only: a 600-character word (a path, a hash, a
    // message the player passed on) would make the alert as wide as the word. A zero-width
    // space between the letters of such a run lets it wrap anywhere, and is not seen.
    QString r;
    r.reserve(texto.size());
    QTextBoundaryFinder letras(QTextBoundaryFinder::Grapheme, texto);
    qsizetype inicio = 0;
    bool enPalabra = false, larga = false;
    for (qsizetype fin = letras.toNextBoundary(); fin > inicio; fin = letras.toNextBoundary()) {
        const QStringView letra = QStringView(texto).mid(inicio, fin - inicio);
        if (letra.front().isSpace()) {
            enPalabra = false;
        } else if (!enPalabra) {
            enPalabra = true;
            qsizetype k = inicio;
            while (k < texto.size() && !texto.at(k).isSpace())
                ++k;
            larga = k - inicio > kPalabraLarga;
        } else if (larga) {
            r += QChar(0x200B);
        }
        r += letra;
        inicio = fin;
    }
    return r;
}

DialogoAlerta::DialogoAlerta(const QString& titulo, const QString& mensaje,
                             const QStringList& botones, EstiloAlerta estilo,
                             QWidget* accesorio)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                           | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(titulo);
    const QRect zona = zonaPantalla().adjusted(kMargenPantalla, kMargenPantalla,
                                               -kMargenPantalla, -kMargenPantalla);
    const int anchoMaximo = zona.width() - kMargenIzq - kMargenDer - kIcono - kEspacioIcono;
    const int ancho = std::min(anchoMaximo, std::max(360, accesorio ? accesorio->width() : 0));

    auto* columna = new QVBoxLayout;
    columna->setSpacing(8);
    auto* lTitulo = etiqueta(cortableEnCualquierSitio(titulo), 14, QFont::Bold,
                             palette().color(QPalette::WindowText));
    lTitulo->setObjectName(QStringLiteral("titulo"));
    lTitulo->setFixedSize(ancho, lTitulo->heightForWidth(ancho));
    columna->addWidget(lTitulo);
    auto* lMensaje = etiqueta(cortableEnCualquierSitio(mensaje), 12, QFont::Normal,
                              palette().color(QPalette::WindowText));
    lMensaje->setObjectName(QStringLiteral("mensaje"));
    // The message scrolls inside the alert when it is taller than the room the screen
    // leaves; the title, the accessory and the buttons stay in view.
    desplazable_ = new QScrollArea;
    desplazable_->setObjectName(QStringLiteral("desplazable"));
    desplazable_->setFrameShape(QFrame::NoFrame);
    desplazable_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    desplazable_->setWidgetResizable(true);
    desplazable_->setBackgroundRole(QPalette::Window);
    desplazable_->setWidget(lMensaje);
    columna->addWidget(desplazable_);
    if (accesorio) {
        accesorio->setMinimumSize(accesorio->size());
        columna->addSpacing(4);
        columna->addWidget(accesorio, 0, Qt::AlignLeft);
    }

    // Desktop alerts read right to left: the first (default) button sits at the far right.
    auto* fila = new QHBoxLayout;
    fila->addStretch(1);
    for (int i = 0; i < botones.size(); ++i) {
        auto* b = new QPushButton(botones[i]);
        b->setFont(fuenteSistema(13));
        b->setMinimumWidth(90);
        b->setDefault(i == 0);
        connect(b, &QPushButton::clicked, this, [this, i] { pulsar(i); });
        botones_ << b;
        if (botones[i] == QStringLiteral("Cancelar"))
            cancelar_ = i;
    }
    for (int i = int(botones_.size()) - 1; i >= 0; --i)
        fila->addWidget(botones_[i]);
    if (cancelar_ < 0)
        cancelar_ = int(botones_.size()) - 1;
    columna->addSpacing(6);
    columna->addLayout(fila);

    auto* todo = new QHBoxLayout(this);
    todo->setContentsMargins(kMargenIzq, kMargenArriba, kMargenDer, kMargenAbajo);
    todo->setSpacing(kEspacioIcono);
    todo->addWidget(icono(estilo), 0, Qt::AlignTop);
    todo->addLayout(columna, 1);
    setSizeGripEnabled(false);
    todo->setSizeConstraint(QLayout::SetFixedSize);

    // The message's height for the width, against what is left of the screen's height.
    const int alto = lMensaje->heightForWidth(ancho);
    desplazable_->setFixedSize(ancho, 0);
    const int resto = todo->sizeHint().height();
    const int cabe = std::max(3 * lMensaje->fontMetrics().lineSpacing(), zona.height() - resto);
    if (alto > cabe) {
        const int barra = desplazable_->verticalScrollBar()->sizeHint().width();
        desplazable_->setFixedSize(ancho + barra, cabe);
        lMensaje->setFixedWidth(ancho);
    } else {
        desplazable_->setFixedSize(ancho, alto);
        // Nothing to scroll: the keyboard has no business in it.
        desplazable_->setFocusPolicy(Qt::NoFocus);
    }
}

void DialogoAlerta::pulsar(int i)
{
    pulsado_ = i;
    done(QDialog::Accepted);
}

void DialogoAlerta::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier && cancelar_ >= 0) {
        botones_[cancelar_]->animateClick();
        return;
    }
    QDialog::keyPressEvent(e);
}

bool DialogoAlerta::eventFilter(QObject* objeto, QEvent* e)
{
    // A field with inline completion takes Return to accept the completion and keeps
    // it; the user means "done", so the default button answers with the completed text.
    // An editable combo box keeps the focus itself and hands keys to its field, so the
    // field and its focus proxy both count.
    auto* w = qobject_cast<QWidget*>(objeto);
    const bool enFoco = w && foco_ && (w == foco_ || w->focusProxy() == foco_ || foco_->focusProxy() == w);
    if (enFoco && e->type() == QEvent::KeyPress && !botones_.isEmpty()) {
        auto* tecla = static_cast<QKeyEvent*>(e);
        if ((tecla->key() == Qt::Key_Return || tecla->key() == Qt::Key_Enter)
            && (tecla->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            botones_.first()->click();
            return true;
        }
    }
    return QDialog::eventFilter(objeto, e);
}

int DialogoAlerta::correr(QWidget* foco)
{
    foco_ = foco;
    // On the application, not the field: the field's completer re-installs its own
    // filter on every focus-in and would otherwise see Return first.
    if (foco)
        qApp->installEventFilter(this);
    setModal(true);
    show();
    raise();
    activateWindow();
    if (foco)
        foco->setFocus(Qt::OtherFocusReason);
    else if (!botones_.isEmpty())
        botones_.first()->setFocus(Qt::OtherFocusReason);
    exec();
    qApp->removeEventFilter(this);
    return pulsado_;
}

int alerta(const QString& titulo, const QString& mensaje, const QStringList& botones,
           EstiloAlerta estilo, QWidget* accesorio, QWidget* foco)
{
    int pulsado;
    {
        DialogoAlerta d(titulo, mensaje, botones, estilo, accesorio);
        pulsado = d.correr(foco);
        // The caller reads the accessory's controls after the alert: hand it back
        // before the dialog takes its children with it.
        if (accesorio) {
            accesorio->hide();
            accesorio->setParent(nullptr);
        }
    }
    return pulsado;
}

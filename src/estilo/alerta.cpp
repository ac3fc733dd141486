#include "estilo/dialogo_alerta.h"

#include "estilo/etiqueta.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QLabel* icono(EstiloAlerta estilo)
{
    const auto tipo = estilo == EstiloAlerta::aviso ? QStyle::SP_MessageBoxWarning
                                                    : QStyle::SP_MessageBoxInformation;
    auto* l = new QLabel;
    l->setPixmap(QApplication::style()->standardIcon(tipo).pixmap(48, 48));
    l->setAlignment(Qt::AlignTop);
    return l;
}

} // namespace

DialogoAlerta::DialogoAlerta(const QString& titulo, const QString& mensaje,
                             const QStringList& botones, EstiloAlerta estilo,
                             QWidget* accesorio)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                           | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(titulo);
    auto* columna = new QVBoxLayout;
    columna->setSpacing(8);
    auto* lTitulo = etiqueta(titulo, 14, QFont::Bold, palette().color(QPalette::WindowText));
    lTitulo->setObjectName(QStringLiteral("titulo"));
    columna->addWidget(lTitulo);
    auto* lMensaje = etiqueta(mensaje, 12, QFont::Normal, palette().color(QPalette::WindowText));
    lMensaje->setObjectName(QStringLiteral("mensaje"));
    lMensaje->setMinimumWidth(qMax(360, accesorio ? accesorio->width() : 0));
    columna->addWidget(lMensaje);
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
    todo->setContentsMargins(20, 20, 20, 16);
    todo->setSpacing(16);
    todo->addWidget(icono(estilo), 0, Qt::AlignTop);
    todo->addLayout(columna, 1);
    setSizeGripEnabled(false);
    todo->setSizeConstraint(QLayout::SetFixedSize);
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

#include "dialogos/controlador_ajustes.h"

#include "comun/json.h"
#include "comun/salida.h"
#include "dialogos/boton_lateral.h"
#include "dialogos/numero_campo.h"
#include "estilo/alerta.h"
#include "estilo/boton_zorv.h"
#include "estilo/color.h"
#include "estilo/etiqueta.h"
#include "estilo/fondo.h"

#include <QJsonObject>
#include <QPushButton>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>

QString carpetaCapturasPorDefecto()
{
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)
        + QStringLiteral("/ZorvPlayer");
}

ControladorAjustes::ControladorAjustes(Ajustes& c, const QString& v)
    : conf(c)
    , version(v)
    , ventana(std::make_unique<VentanaZORV>(QStringLiteral("Ajustes"), 680, 460, false))
    , defCapturas(carpetaCapturasPorDefecto())
{
    alFallar = [this] {
        alerta(QStringLiteral("No se pudo guardar"),
               QStringLiteral("No se han podido escribir los ajustes en ") + conf.ruta
                   + QStringLiteral("."),
               {QStringLiteral("Aceptar")}, EstiloAlerta::aviso);
    };
    construir();
}

void ControladorAjustes::construir()
{
    QWidget* raiz = ventana.get();
    lateral_ = new Fondo(Color::lateral, raiz);
    lateral_->setGeometry(0, 0, 170, 460);
    construirLateral(lateral_);

    auto* banda = new Fondo(Color::turquesa, raiz);
    banda->setGeometry(170, 0, 510, 56);
    tituloSeccion = etiqueta(QString(), 18, QFont::DemiBold, Qt::white);
    tituloSeccion->setParent(banda);
    tituloSeccion->setGeometry(22, 0, 510 - 44, 56);
    tituloSeccion->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto* barra = new Fondo(Color::fondo, raiz);
    barra->setGeometry(170, 404, 510, 56);
    construirBarraInferior(barra);

    contenido = new Volteada(QRect(170, 56, 510, 348), raiz);
    contenido->setAutoFillBackground(true);
    QPalette p = contenido->palette();
    p.setColor(QPalette::Window, Color::fondo);
    contenido->setPalette(p);

    seccion(QStringLiteral("Capturas"), seccionCapturas());
    seccion(QStringLiteral("Ráfaga"), seccionRafaga());
    seccion(QStringLiteral("Actualizaciones"), seccionActualizaciones());
    seccion(QStringLiteral("Acerca de"), seccionAcercaDe());
    mostrar(0);
    ordenarTeclado();
}

namespace {

// The controls of a section that the keyboard reaches, in the order they were placed.
QList<QWidget*> enfocables(QWidget* vista)
{
    QList<QWidget*> r;
    for (QWidget* w : vista->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->focusPolicy() & Qt::TabFocus)
            r << w;
    return r;
}

} // namespace

void ControladorAjustes::ordenarTeclado()
{
    // Tab goes down the side bar, through the shown section, then "Guardar" and
    // "Cancelar" (hidden sections are skipped by Qt).
    QList<QWidget*> orden;
    for (const Seccion& s : secciones)
        orden << s.boton;
    for (const Seccion& s : secciones)
        orden << enfocables(s.vista);
    orden << bGuardar_ << bCancelar_;
    for (qsizetype i = 1; i < orden.size(); ++i)
        QWidget::setTabOrder(orden[i - 1], orden[i]);
    // The window opens with the keyboard in the first field of the section (a text field
    // shows its focus at once), not on "Cancelar" where a Space would close it unsaved.
    const QList<QWidget*> primeros = enfocables(secciones.first().vista);
    if (!primeros.isEmpty())
        primeros.first()->setFocus(Qt::OtherFocusReason);
}

void ControladorAjustes::construirLateral(QWidget* lateral)
{
    auto* nombre = etiqueta(QStringLiteral("ZorvPlayer"), 17, QFont::DemiBold, Qt::white);
    poner(nombre, lateral, 18, 18, 170 - 36);
    auto* lVersion = etiqueta(QStringLiteral("versión ") + version, 12, QFont::Normal,
                              Color::lateralTexto);
    poner(lVersion, lateral, 18, nombre->geometry().bottom() + 1 + 4, 170 - 36);
}

void ControladorAjustes::construirBarraInferior(QWidget* barra)
{
    auto* cancelar = new BotonZORV(QStringLiteral("Cancelar"), false,
                                   [this] { ventana->close(); }, barra);
    cancelar->teclaEquivalente(QKeySequence(Qt::Key_Escape));
    auto* bGuardar = new BotonZORV(QStringLiteral("Guardar"), true, [this] { guardar(); },
                                   barra);
    bGuardar_ = bGuardar;
    bCancelar_ = cancelar;
    cancelar->adjustSize();
    bGuardar->adjustSize();
    const int xc = 510 - 16 - cancelar->width();
    cancelar->move(xc, (56 - cancelar->height()) / 2);
    bGuardar->move(xc - 10 - bGuardar->width(), (56 - bGuardar->height()) / 2);
}

void ControladorAjustes::seccion(const QString& titulo, Volteada* vista)
{
    auto* boton = new BotonLateral(titulo, int(secciones.size()), lateral_);
    boton->setGeometry(0, 90 + 42 * boton->indice, 170, 40);
    connect(boton, &QAbstractButton::clicked, this, [this, boton] { mostrar(boton->indice); });
    vista->setParent(contenido);
    vista->setGeometry(0, 0, 510, 348);
    vista->hide();
    secciones << Seccion{titulo, vista, boton};
}

void ControladorAjustes::mostrar(int i)
{
    for (int k = 0; k < secciones.size(); ++k) {
        secciones[k].vista->setVisible(k == i);
        secciones[k].boton->setChecked(k == i);
        secciones[k].boton->update();
    }
    if (i >= 0 && i < secciones.size())
        tituloSeccion->setText(secciones[i].titulo);
}

void ControladorAjustes::radio(QRadioButton* pulsado)
{
    const bool formato = pulsado == rJPG || pulsado == rPNG;
    QRadioButton* a = formato ? rJPG : rManual;
    QRadioButton* b = formato ? rPNG : rAuto;
    a->setChecked(pulsado == a);
    b->setChecked(pulsado == b);
}

void ControladorAjustes::cambioCalidad()
{
    tCalidad->setText(textoNumero(std::trunc(calidad->valor())));
}

void ControladorAjustes::cambioSegundos()
{
    tSegundos->setText(textoNumero(segundos->valor()));
}

void ControladorAjustes::buscarAhora()
{
    buscar = true;
    guardar();
}

void ControladorAjustes::guardar()
{
    QJsonObject& d = conf.datos;
    d[QStringLiteral("actualizaciones")] =
        rAuto->isChecked() ? QStringLiteral("automatica") : QStringLiteral("manual");
    // Only spaces and tabs are trimmed: other characters may belong to the path.
    QString carpeta = tCarpeta->text();
    while (carpeta.startsWith(QLatin1Char(' ')) || carpeta.startsWith(QLatin1Char('\t')))
        carpeta.remove(0, 1);
    while (carpeta.endsWith(QLatin1Char(' ')) || carpeta.endsWith(QLatin1Char('\t')))
        carpeta.chop(1);
    d[QStringLiteral("capturas_dir")] = carpeta == defCapturas ? QString() : carpeta;
    d[QStringLiteral("formato")] = rPNG->isChecked() ? QStringLiteral("png") : QStringLiteral("jpg");
    d[QStringLiteral("calidad_jpg")] = int(std::clamp(valorEntero(tCalidad->text()), 50.0, 100.0));
    d[QStringLiteral("metadatos_txt")] = cMeta->marcada();
    d[QStringLiteral("avisar_hora")] = cHora->marcada();
    d[QStringLiteral("preguntar_caso")] = cCaso->marcada();
    d[QStringLiteral("rafaga_segundos")] = std::clamp(valorDecimal(tSegundos->text()), 0.5, 3600.0);
    d[QStringLiteral("rafaga_auto")] = cRafAuto->marcada();
    d[QStringLiteral("pospuesta")] =
        QJsonObject{{QStringLiteral("version"), QString()}, {QStringLiteral("hasta"), 0}};
    if (escribirJSON(d, conf.ruta)) {
        resultado = buscar ? 2 : 0;
        ventana->close();
    } else if (alFallar) {
        alFallar();
    }
}

void poner(QWidget* vista, QWidget* en, int x, int y, int ancho)
{
    vista->setParent(en);
    auto* l = qobject_cast<QLabel*>(vista);
    QSize tam;
    if (l && l->wordWrap() && ancho < 0) {
        // A label without a width keeps its text on one line, as wide as it needs.
        l->setWordWrap(false);
        tam = l->sizeHint();
        l->setWordWrap(true);
    } else {
        vista->adjustSize();
        tam = vista->size();
    }
    if (ancho >= 0) {
        tam.setWidth(ancho);
        if (l && l->wordWrap())
            tam.setHeight(std::min(1000, l->heightForWidth(ancho)));
    }
    // Our fonts run wider than the ones these forms were laid out with: a radio or
    // check box that would spill over its section gets a slightly smaller font rather
    // than a clipped last word.
    if (qobject_cast<QAbstractButton*>(vista) && !qobject_cast<QPushButton*>(vista)) {
        QFont f = vista->font();
        while (x + tam.width() > en->width() - 4 && f.pixelSize() > 11) {
            f.setPixelSize(f.pixelSize() - 1);
            vista->setFont(f);
            tam.setWidth(vista->sizeHint().width());
        }
    }
    vista->setGeometry(x, y, tam.width(), tam.height());
    vista->show();
}

void ventanaConfiguracion(const QString& ruta, const QString& version)
{
    Ajustes conf(ruta);
    ControladorAjustes controlador(conf, version);
    controlador.ventana->mostrarModal();
    salir(controlador.resultado);
}

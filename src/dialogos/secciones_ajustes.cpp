// The four sections of the settings window, each a form of absolutely placed controls.
#include "comun/rutas.h"
#include "dialogos/controlador_ajustes.h"
#include "dialogos/numero_campo.h"
#include "dialogos/servidores.h"
#include "dialogos/ventana_abrir.h"
#include "estilo/alerta.h"
#include "estilo/boton_zorv.h"
#include "estilo/color.h"
#include "estilo/etiqueta.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>
#include <cmath>

namespace {

QLineEdit* campo(const QString& texto, int ancho, int alto)
{
    auto* t = new QLineEdit(texto);
    t->setFont(fuenteSistema(13));
    t->setFixedSize(ancho, alto);
    return t;
}

// A number field at (x, y) with its stepper just right of it, the two reading as one.
void ponerNumero(QLineEdit* campo, Paso* paso, QWidget* en, int x, int y)
{
    poner(campo, en, x, y);
    paso->setParent(en);
    paso->setGeometry(x + campo->width() + 2, y - 2, 19, 28);
}

BotonZORV* boton(const QString& titulo, std::function<void()> accion)
{
    return new BotonZORV(titulo, false, std::move(accion));
}

// Hands a folder, file or web address to the desktop. Without a program for it (no
// xdg-open, no browser) Qt only writes a warning nobody sees: say so in the window.
void abrirConElSistema(const QUrl& direccion, const QString& titulo, const QString& nombre)
{
    if (QDesktopServices::openUrl(direccion))
        return;
    alerta(titulo,
           QStringLiteral("No se ha podido abrir ") + nombre
               + QStringLiteral(": no hay ningún programa en este equipo para abrirlo."),
           {QStringLiteral("Aceptar")});
}

void abrirArchivo(const QString& ruta, const QString& titulo)
{
    abrirConElSistema(QUrl::fromLocalFile(ruta), titulo, ruta);
}

} // namespace

QRadioButton* ControladorAjustes::radioNuevo(const QString& titulo, bool encendido)
{
    auto* r = new QRadioButton(titulo);
    r->setFont(fuenteSistema(13));
    // The two groups are kept by `radio`, not by Qt's sibling rule.
    r->setAutoExclusive(false);
    r->setChecked(encendido);
    connect(r, &QRadioButton::clicked, this, [this, r] { radio(r); });
    return r;
}

Volteada* ControladorAjustes::seccionCapturas()
{
    auto* v = new Volteada(QRect(0, 0, 510, 348));
    poner(etiqueta(QStringLiteral("Carpeta donde se guardan las capturas")), v, 22, 20);
    const QString guardada = conf.s(QStringLiteral("capturas_dir"));
    tCarpeta = campo(guardada.isEmpty() ? defCapturas : guardada, 318, 24);
    poner(tCarpeta, v, 22, 44);
    poner(boton(QStringLiteral("Elegir…"), [this] { elegirCarpeta(); }), v, 350, 40, 130);
    poner(boton(QStringLiteral("Abrir carpeta"), [this] { abrirCarpeta(); }), v, 350, 74, 130);
    poner(etiqueta(QStringLiteral("Si la dejas vacía: ") + defCapturas, 11, QFont::Normal,
                   Color::gris),
          v, 22, 76, 318);

    poner(etiqueta(QStringLiteral("Formato de imagen")), v, 22, 120);
    const bool png = conf.s(QStringLiteral("formato")) == QStringLiteral("png");
    rJPG = radioNuevo(QStringLiteral("JPG (pesa poco)"), !png);
    rPNG = radioNuevo(QStringLiteral("PNG (sin pérdida, pesa más)"), png);
    poner(rJPG, v, 22, 142);
    poner(rPNG, v, 190, 142);

    poner(etiqueta(QStringLiteral("Calidad JPG")), v, 22, 178);
    calidad = new Paso(50, 100, 1, std::trunc(conf.n(QStringLiteral("calidad_jpg"))),
                       [this] { cambioCalidad(); });
    tCalidad = campo(QString(), 44, 24);
    cambioCalidad();
    ponerNumero(tCalidad, calidad, v, 116, 174);
    poner(etiqueta(QStringLiteral("(95 = se ve igual y pesa la mitad)"), 11, QFont::Normal,
                   Color::gris),
          v, 196, 178);

    cMeta = new Casilla(
        QStringLiteral("Guardar junto a las capturas un .txt con todos los metadatos del vídeo"),
        conf.b(QStringLiteral("metadatos_txt")));
    cHora = new Casilla(
        QStringLiteral("Mostrar la hora de grabación detectada al abrir cada vídeo"),
        conf.b(QStringLiteral("avisar_hora")));
    cCaso = new Casilla(
        QStringLiteral("Al abrir un vídeo, preguntar la carpeta del caso (tecla N)"),
        conf.b(QStringLiteral("preguntar_caso")));
    poner(cMeta, v, 22, 210);
    poner(cHora, v, 22, 234);
    poner(cCaso, v, 22, 258);
    poner(etiqueta(QStringLiteral("Cada captura lleva dentro (EXIF) la hora exacta, el vídeo "
                                  "de origen y los datos de la cámara."),
                   11, QFont::Normal, Color::gris),
          v, 22, 290, 460);
    return v;
}

Volteada* ControladorAjustes::seccionRafaga()
{
    auto* v = new Volteada(QRect(0, 0, 510, 348));
    poner(etiqueta(QStringLiteral(
                       "La ráfaga saca capturas automáticas a intervalos fijos de todo el vídeo "
                       "y abre una galería para elegir cuáles conservar. Las elegidas van a la "
                       "carpeta de capturas con su hora real y metadatos; el resto se borra "
                       "definitivamente, sin pasar por la papelera."),
                   12, QFont::Normal, Color::gris),
          v, 22, 20, 460);
    poner(etiqueta(QStringLiteral("Segundos entre capturas")), v, 22, 110);
    segundos = new Paso(0.5, 3600, 0.5, conf.n(QStringLiteral("rafaga_segundos")),
                        [this] { cambioSegundos(); });
    tSegundos = campo(QString(), 60, 24);
    cambioSegundos();
    ponerNumero(tSegundos, segundos, v, 200, 106);
    poner(etiqueta(QStringLiteral("(2 = una captura cada dos segundos)"), 11, QFont::Normal,
                   Color::gris),
          v, 290, 110);
    cRafAuto = new Casilla(QStringLiteral("Hacer la ráfaga automáticamente al abrir cada vídeo"),
                           conf.b(QStringLiteral("rafaga_auto")));
    poner(cRafAuto, v, 22, 150);
    poner(etiqueta(QStringLiteral("Si no, la lanzas cuando quieras con la tecla R. Un vídeo de "
                                  "una hora a 2 s son 1800 capturas: en vídeos largos conviene "
                                  "subir el intervalo."),
                   12, QFont::Normal, Color::gris),
          v, 22, 180, 460);
    return v;
}

Volteada* ControladorAjustes::seccionActualizaciones()
{
    auto* v = new Volteada(QRect(0, 0, 510, 348));
    poner(etiqueta(QStringLiteral("Versión instalada: ") + version), v, 22, 20);
    const bool automatica = conf.s(QStringLiteral("actualizaciones")) == QStringLiteral("automatica");
    rManual = radioNuevo(QStringLiteral("Manual: avisar cuando haya una versión nueva y "
                                        "preguntar si instalarla"),
                         !automatica);
    rAuto = radioNuevo(QStringLiteral("Automática: descargarla sola e instalarla al cerrar el "
                                      "programa"),
                       automatica);
    poner(rManual, v, 22, 56);
    poner(rAuto, v, 22, 84);
    poner(etiqueta(QStringLiteral("Las versiones nuevas vienen firmadas: solo se instala lo "
                                  "que publica ZORV."),
                   12, QFont::Normal, Color::gris),
          v, 22, 118, 460);
    poner(boton(QStringLiteral("Buscar actualizaciones ahora"), [this] { buscarAhora(); }), v,
          22, 156, 240);
    poner(etiqueta(QStringLiteral("Guarda los ajustes y comprueba en ") + kServidorActualizaciones
                       + QStringLiteral(" si hay una versión más nueva."),
                   12, QFont::Normal, Color::gris),
          v, 22, 196, 460);
    return v;
}

Volteada* ControladorAjustes::seccionAcercaDe()
{
    auto* v = new Volteada(QRect(0, 0, 510, 348));
    poner(etiqueta(QStringLiteral("ZorvPlayer ") + version, 14, QFont::DemiBold), v, 22, 20);
    poner(etiqueta(QStringLiteral("Reproductor para revisar grabaciones: avance fotograma a "
                                  "fotograma, zoom, recorte, galería de miniaturas y capturas "
                                  "con la hora real de grabación."),
                   12, QFont::Normal, Color::gris),
          v, 22, 46, 460);
    poner(etiqueta(QStringLiteral("Teclas:  S captura (hora desde el inicio) · Mayús+S captura "
                                  "(hora desde el final) · ← → fotograma · ↑ ↓ 5 fotogramas · "
                                  "G galería · C recorte · N carpeta del caso · R ráfaga · "
                                  "Ctrl+O abrir · A ajustes · D cámaras"),
                   12),
          v, 22, 96, 460);
    poner(etiqueta(QStringLiteral("Basado en mpv, FFmpeg y ExifTool (software libre). ZORV · ")
                       + kDominioZORV,
                   12, QFont::Normal, Color::gris),
          v, 22, 166, 460);

    QString sinEsquema = kPaginaProducto;
    sinEsquema.remove(QStringLiteral("https://"));
    auto* enlace = boton(sinEsquema, [] {
        abrirConElSistema(QUrl(kPaginaProducto), QStringLiteral("No se pudo abrir la página"),
                          kPaginaProducto);
    });
    enlace->setFlat(true);
    enlace->setCursor(Qt::PointingHandCursor);
    QPalette p = enlace->palette();
    p.setColor(QPalette::ButtonText, Color::turquesa);
    enlace->setPalette(p);
    poner(enlace, v, 18, 190);

    poner(boton(QStringLiteral("Abrir el registro de la última sesión"),
                [] {
                    const QString registro =
                        carpetaDatos() + QStringLiteral("/portable_config/zorvplayer.log");
                    if (QFileInfo::exists(registro))
                        abrirArchivo(registro, QStringLiteral("No se pudo abrir el registro"));
                }),
          v, 22, 228, 300);
    poner(etiqueta(QStringLiteral("Si algo falla, este registro es lo que hay que mandar a ZORV."),
                   12, QFont::Normal, Color::gris),
          v, 22, 268, 460);
    return v;
}

void ControladorAjustes::elegirCarpeta()
{
    QFileDialog d(ventana.get(), QStringLiteral("Carpeta donde guardar las capturas"));
    d.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    d.setOption(QFileDialog::DontUseNativeDialog, true);
    d.setFileMode(QFileDialog::Directory);
    d.setOption(QFileDialog::ShowDirsOnly, true);
    columnasLegibles(d);
    const QString actual = tCarpeta->text().trimmed();
    if (!actual.isEmpty() && QFileInfo(actual).isDir())
        d.setDirectory(actual);
    if (d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty())
        tCarpeta->setText(d.selectedFiles().first());
}

void ControladorAjustes::abrirCarpeta()
{
    const QString carpeta = tCarpeta->text().trimmed();
    if (carpeta.isEmpty())
        return;
    QDir().mkpath(carpeta);
    abrirArchivo(carpeta, QStringLiteral("No se pudo abrir la carpeta"));
}

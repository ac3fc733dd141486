#include "dialogos/modo_menu.h"

#include "comun/salida.h"

#include <QAction>
#include <QCursor>

namespace {

struct Orden {
    const char* titulo;
    const char* id;
};

// "-" is a separator.
constexpr Orden kOrdenes[] = {
    {"Recortar un tramo (✂ o teclas I / O)", "recorte"},
    {"Marcar este momento con una nota (K)", "marca"},
    {"Mejorar la imagen: siguiente ajuste (B)", "mejora"},
    {"Informe PDF del caso", "informe"},
    {"Anonimizar: tapar caras de menores… (Ctrl+X)", "anonimizar"},
    {"-", ""},
    {"Galería de vídeos cargados", "galeria"},
    {"Cámaras y dispositivos…", "camaras"},
    {"Carpeta del caso…", "caso"},
    {"Ajustes…", "ajustes"},
};

constexpr int kIntervalos[] = {1, 2, 3, 5, 10, 30};

} // namespace

void ReceptorMenu::elegir(QAction* item)
{
    elegido = item ? item->data().toString() : QString();
}

QMenu* construirMenu(double segundos, ReceptorMenu* receptor)
{
    auto* menu = new QMenu;
    menu->addAction(QStringLiteral("Lanzar ráfaga: una captura cada…"))->setEnabled(false);
    auto anadir = [&](const QString& titulo, const QString& id) {
        QAction* a = menu->addAction(titulo);
        a->setData(id);
        QObject::connect(a, &QAction::triggered, receptor, [receptor, a] { receptor->elegir(a); });
        return a;
    };
    for (int n : kIntervalos) {
        const bool actual = segundos == double(n);
        QString titulo = QStringLiteral("      %1 s").arg(n);
        if (actual)
            titulo += QStringLiteral("   (ajuste actual)");
        QAction* a = anadir(titulo, QStringLiteral("rafaga:%1").arg(n));
        // Only the current interval is checkable, so only it shows a mark.
        a->setCheckable(actual);
        a->setChecked(actual);
    }
    menu->addSeparator();
    for (const Orden& o : kOrdenes) {
        if (QLatin1String(o.titulo) == QLatin1String("-"))
            menu->addSeparator();
        else
            anadir(QString::fromUtf8(o.titulo), QString::fromUtf8(o.id));
    }
    return menu;
}

void modoMenu(double segundos)
{
    ReceptorMenu receptor;
    QMenu* menu = construirMenu(segundos, &receptor);
    menu->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    menu->exec(QCursor::pos());
    if (receptor.elegido.isEmpty())
        salir(1);
    salir(0, receptor.elegido);
}

#include "estilo/alerta.h"
#include "estilo/dialogo_alerta.h"
#include "estilo/etiqueta.h"
#include "estilo/ventana_zorv.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

TEST(VentanaZORV, TituloYTamano)
{
    VentanaZORV fija(QStringLiteral("Ajustes"), 680, 460, false);
    EXPECT_EQ(fija.windowTitle(), QStringLiteral("ZorvPlayer - Ajustes"));
    EXPECT_EQ(fija.minimumSize(), QSize(680, 460));
    EXPECT_EQ(fija.maximumSize(), QSize(680, 460));
    EXPECT_TRUE(fija.windowFlags() & Qt::WindowStaysOnTopHint);

    // Smaller than the test screen (800 × 600), so it keeps the size it asked for.
    VentanaZORV libre(QStringLiteral("Cámaras"), 760, 560, true);
    EXPECT_EQ(libre.size(), QSize(760, 560));
    EXPECT_NE(libre.maximumSize(), QSize(760, 560));
}

TEST(VentanaZORV, DentroDeLaPantallaAunqueNoQuepa)
{
    const QRect zona = QGuiApplication::primaryScreen()->availableGeometry();
    struct Caso {
        int ancho, alto;
        bool redimensionable;
    };
    for (const Caso& k : {Caso{680, 460, false}, Caso{zona.width() + 300, zona.height() + 200, true},
                          Caso{zona.width() + 300, zona.height() + 200, false}}) {
        VentanaZORV v(QStringLiteral("Grande"), k.ancho, k.alto, k.redimensionable);
        // The title bar (top left) can always be reached.
        EXPECT_TRUE(zona.contains(v.geometry().topLeft())) << k.ancho << "×" << k.alto;
        if (k.redimensionable || (k.ancho <= zona.width() && k.alto <= zona.height())) {
            EXPECT_TRUE(zona.contains(v.geometry())) << k.ancho << "×" << k.alto;
        }
    }
}

TEST(VentanaZORV, CerrarAvisaUnaVezYTerminaElModal)
{
    VentanaZORV v(QStringLiteral("Prueba"), 300, 200, false);
    int cierres = 0;
    v.alCerrar = [&] { ++cierres; };
    QTimer::singleShot(50, &v, [&] {
        v.close();
        v.close(); // a second close must not report the end again
    });
    QTimer guardia;
    guardia.setSingleShot(true);
    bool colgado = false;
    QObject::connect(&guardia, &QTimer::timeout, [&] { colgado = true; v.pararModal(); });
    guardia.start(5000);
    v.mostrarModal();
    EXPECT_FALSE(colgado);
    EXPECT_EQ(cierres, 1);
    EXPECT_FALSE(v.isVisible());
}

TEST(VentanaZORV, VolcadoDeVistas)
{
    VentanaZORV v(QStringLiteral("Volcado"), 300, 200, false);
    auto* l = etiqueta(QStringLiteral("Un texto bastante más largo que treinta letras"));
    l->setParent(&v);
    l->setGeometry(10, 20, 200, 30);
    auto* t = new QLineEdit(QStringLiteral("campo"), &v);
    t->setGeometry(10, 60, 100, 24);
    t->hide();
    const QStringList lineas = volcadoVistas(&v);
    ASSERT_GE(lineas.size(), 3);
    EXPECT_TRUE(lineas[0].startsWith(QStringLiteral("ventana (")));
    EXPECT_TRUE(lineas[1].startsWith(QStringLiteral("VentanaZORV (")));
    EXPECT_EQ(lineas[2].toStdString(), std::string("  QLabel (10.0, 20.0, 200.0, 30.0) oculto=false flip=true "
                                        "amb=false Un texto bastante más largo qu"));
    EXPECT_EQ(lineas[3].toStdString(), std::string("  QLineEdit (10.0, 60.0, 100.0, 24.0) oculto=true "
                                        "flip=true amb=false campo"));
}

namespace {

// Presses a key in the alert as soon as it is up.
void alAbrirse(std::function<void(DialogoAlerta&)> hacer, DialogoAlerta& d)
{
    QTimer::singleShot(100, &d, [&d, hacer] { hacer(d); });
}

} // namespace

TEST(Alerta, BotonesTeclasYCierre)
{
    const QStringList botones{QStringLiteral("Guardar"), QStringLiteral("Descartar"),
                              QStringLiteral("Cancelar"), QStringLiteral("Otro")};
    {
        DialogoAlerta d(QStringLiteral("T"), QStringLiteral("M"), botones, EstiloAlerta::aviso, nullptr);
        alAbrirse([](DialogoAlerta& a) { QTest::keyClick(&a, Qt::Key_Return); }, d);
        EXPECT_EQ(d.correr(nullptr), 0);
    }
    {
        DialogoAlerta d(QStringLiteral("T"), QStringLiteral("M"), botones, EstiloAlerta::aviso, nullptr);
        alAbrirse([](DialogoAlerta& a) { QTest::keyClick(&a, Qt::Key_Escape); }, d);
        EXPECT_EQ(d.correr(nullptr), 2); // "Cancelar", wherever it is
    }
    {
        DialogoAlerta d(QStringLiteral("T"), QStringLiteral("M"), {QStringLiteral("Sí"), QStringLiteral("No")},
                        EstiloAlerta::informativo, nullptr);
        alAbrirse([](DialogoAlerta& a) { QTest::keyClick(&a, Qt::Key_Escape); }, d);
        EXPECT_EQ(d.correr(nullptr), 1); // no "Cancelar": the last button
    }
    {
        DialogoAlerta d(QStringLiteral("T"), QStringLiteral("M"), botones, EstiloAlerta::aviso, nullptr);
        alAbrirse([](DialogoAlerta& a) { a.close(); }, d);
        EXPECT_EQ(d.correr(nullptr), -1);
    }
    {
        DialogoAlerta d(QStringLiteral("T"), QStringLiteral("M"), botones, EstiloAlerta::aviso, nullptr);
        alAbrirse([](DialogoAlerta& a) { a.botones()[1]->click(); }, d);
        EXPECT_EQ(d.correr(nullptr), 1);
    }
}

TEST(Alerta, ElAccesorioSobreviveYRecibeLasTeclas)
{
    auto* campo = new QLineEdit;
    campo->resize(380, 24);
    // Types once the alert holds the focus: on a loaded machine that can take longer
    // than any fixed delay.
    auto* espera = new QTimer;
    QObject::connect(espera, &QTimer::timeout, [espera] {
        QWidget* foco = QApplication::focusWidget();
        if (!QApplication::activeModalWidget() || !foco)
            return;
        espera->stop();
        espera->deleteLater();
        QTest::keyClicks(foco, QStringLiteral("coche"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    espera->start(20);
    const int b = alerta(QStringLiteral("Marcar"), QStringLiteral("Mensaje"),
                         {QStringLiteral("Guardar marca"), QStringLiteral("Cancelar")},
                         EstiloAlerta::aviso, campo, campo);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(campo->text(), QStringLiteral("coche"));
    EXPECT_EQ(campo->parent(), nullptr);
    delete campo;
}

TEST(Alerta, CabeEnLaPantallaConTextosDesmesurados)
{
    QStringList notas;
    for (int i = 0; i < 120; ++i)
        notas << QStringLiteral("Línea %1 de las notas de la versión").arg(i);
    QStringList tramos;
    for (int i = 0; i < 80; ++i)
        tramos << QStringLiteral("%1)  00:%2:00 – 00:%2:30").arg(i + 1).arg(i % 60, 2, 10, QLatin1Char('0'));
    const QString palabra(600, QLatin1Char('a'));
    struct Caso {
        const char* nombre;
        QString titulo, mensaje;
        int alturaAccesorio; // 0: none
        bool desplaza;
    };
    const Caso casos[] = {
        {"120 líneas de notas", QStringLiteral("Nueva versión 2.5"), notas.join('\n'), 0, true},
        {"80 tramos y casillas", QStringLiteral("Guardar los 80 tramos"), tramos.join('\n'), 60, true},
        {"una palabra de 600 letras", QStringLiteral("Aviso"), palabra, 0, false},
        {"un título de 600 letras", palabra, QStringLiteral("corto"), 0, false},
        {"un mensaje corto", QStringLiteral("Estás al día"), QStringLiteral("ZorvPlayer 2.3 es la versión más reciente."), 0, false},
    };
    for (const Caso& k : casos) {
        QWidget* accesorio = nullptr;
        if (k.alturaAccesorio) {
            accesorio = new QWidget;
            accesorio->resize(420, k.alturaAccesorio);
        }
        DialogoAlerta d(k.titulo, k.mensaje, {QStringLiteral("Guardar"), QStringLiteral("Cancelar")},
                        EstiloAlerta::aviso, accesorio);
        d.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&d)) << k.nombre;
        const QRect pantalla = d.screen()->availableGeometry();
        EXPECT_TRUE(pantalla.contains(d.frameGeometry())) << k.nombre << ": " << d.width() << "×" << d.height();
        // Every button can be reached with the mouse.
        for (QPushButton* b : d.botones())
            EXPECT_TRUE(pantalla.contains(QRect(b->mapToGlobal(QPoint(0, 0)), b->size()))) << k.nombre;
        if (accesorio) {
            EXPECT_TRUE(pantalla.contains(QRect(accesorio->mapToGlobal(QPoint(0, 0)), accesorio->size())))
                << k.nombre;
        }
        auto* desplazable = d.findChild<QScrollArea*>();
        ASSERT_NE(desplazable, nullptr);
        EXPECT_EQ(desplazable->verticalScrollBar()->maximum() > 0, k.desplaza) << k.nombre;
        d.hide();
    }
}

TEST(Alerta, LasPalabrasLargasSePuedenPartirPorCualquierSitio)
{
    const QChar corte(0x200B);
    struct Caso {
        QString texto;
        bool partida;
    };
    const QString acentos = QString(40, QLatin1Char('x')).replace(QLatin1Char('x'), QStringLiteral("e\u0301"));
    const Caso casos[] = {
        {QStringLiteral("Palabras de tamaño normal, como /home/usuario/Vídeos."), false},
        {QString(31, QLatin1Char('a')), true},
        {QString(30, QLatin1Char('a')), false},
        {QStringLiteral("ruta: /media/usuario/DISCO/grabaciones/camara1/2024-05-01.mp4 fin"), true},
        {acentos, true}, // a letter and its accent are never parted
    };
    for (const Caso& k : casos) {
        const QString r = cortableEnCualquierSitio(k.texto);
        EXPECT_EQ(QString(r).remove(corte), k.texto);
        EXPECT_EQ(r.contains(corte), k.partida) << k.texto.toStdString();
        EXPECT_FALSE(r.contains(QString(corte) + QChar(0x0301))) << k.texto.toStdString();
        EXPECT_FALSE(r.contains(QStringLiteral(" ") + corte)) << k.texto.toStdString();
    }
}

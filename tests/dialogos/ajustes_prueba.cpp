#include "apoyo_texto.h"
#include "comun/json.h"
#include "dialogos/boton_lateral.h"
#include "dialogos/controlador_ajustes.h"
#include "estilo/fondo.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QApplication>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Ventana {
    explicit Ventana(const QString& ruta, const QJsonObject& previo = {})
    {
        if (!previo.isEmpty())
            escribirJSON(previo, ruta);
        conf = std::make_unique<Ajustes>(ruta);
        c = std::make_unique<ControladorAjustes>(*conf, QStringLiteral("2.4"));
        c->alFallar = [this] { ++fallos; };
        c->ventana->alCerrar = [this] { ++cierres; };
    }
    QJsonObject guardado() const { return leerJSON(conf->ruta).value_or(QJsonObject()); }

    std::unique_ptr<Ajustes> conf;
    std::unique_ptr<ControladorAjustes> c;
    int fallos = 0;
    int cierres = 0;
};

class Ajustes_ : public ::testing::Test {
protected:
    QString ruta() const { return dir.filePath(QStringLiteral("ajustes.json")); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(Ajustes_, LimitesDeCalidadEIntervalo)
{
    struct Caso {
        const char* calidad;
        const char* segundos;
        int calidadEsperada;
        double segundosEsperados;
    };
    const Caso casos[] = {
        {"120", "0", 100, 0.5},  {"10", "5000", 50, 3600},   {"abc", "xyz", 50, 0.5},
        {"80.9", "2.5", 80, 2.5}, {"  77 %", "1e1", 77, 10}, {"99999999999999999999", "-3", 100, 0.5},
        // Too large for a double is still "large", not "not a number".
        {"95", "1e400", 95, 3600}, {"95", "-1e400", 95, 0.5}, {"95", "1e-400", 95, 0.5},
    };
    for (const Caso& k : casos) {
        Ventana v(ruta());
        v.c->tCalidad->setText(QString::fromUtf8(k.calidad));
        v.c->tSegundos->setText(QString::fromUtf8(k.segundos));
        v.c->guardar();
        const QJsonObject d = v.guardado();
        EXPECT_EQ(d.value(QStringLiteral("calidad_jpg")).toInt(), k.calidadEsperada) << k.calidad;
        EXPECT_EQ(d.value(QStringLiteral("rafaga_segundos")).toDouble(), k.segundosEsperados)
            << k.segundos;
        EXPECT_EQ(v.c->resultado, 0);
        EXPECT_EQ(v.cierres, 1);
    }
}

TEST_F(Ajustes_, CarpetaPorDefectoYRecorte)
{
    {
        Ventana v(ruta());
        EXPECT_EQ(v.c->tCarpeta->text(), v.c->defCapturas);
        v.c->guardar();
        EXPECT_EQ(v.guardado().value(QStringLiteral("capturas_dir")).toString(), QString());
    }
    {
        Ventana v(ruta());
        v.c->tCarpeta->setText(QStringLiteral(" \t/datos/casos/Robo 1 \t "));
        v.c->guardar();
        EXPECT_EQ(v.guardado().value(QStringLiteral("capturas_dir")).toString(),
                  QStringLiteral("/datos/casos/Robo 1"));
    }
    {
        Ventana v(ruta());
        EXPECT_EQ(v.c->tCarpeta->text(), QStringLiteral("/datos/casos/Robo 1"));
        v.c->tCarpeta->setText(QStringLiteral("  ") + v.c->defCapturas);
        v.c->guardar();
        EXPECT_EQ(v.guardado().value(QStringLiteral("capturas_dir")).toString(), QString());
    }
}

TEST_F(Ajustes_, LeeLosValoresYGuardaLosControles)
{
    Ventana v(ruta(), QJsonObject{
                          {QStringLiteral("formato"), QStringLiteral("PNG")},
                          {QStringLiteral("calidad_jpg"), 120.7},
                          {QStringLiteral("rafaga_segundos"), 2.5},
                          {QStringLiteral("actualizaciones"), QStringLiteral("automatica")},
                          {QStringLiteral("metadatos_txt"), false},
                          {QStringLiteral("rafaga_auto"), 1},
                          {QStringLiteral("extra"), 5},
                          {QStringLiteral("pospuesta"),
                           QJsonObject{{QStringLiteral("version"), QStringLiteral("2.5")},
                                       {QStringLiteral("hasta"), 1900000000}}},
                      });
    EXPECT_TRUE(v.c->rJPG->isChecked()); // "PNG" in capitals is not "png"
    EXPECT_FALSE(v.c->rPNG->isChecked());
    EXPECT_EQ(v.c->tCalidad->text(), QStringLiteral("100"));
    EXPECT_EQ(v.c->tSegundos->text(), QStringLiteral("2.5"));
    EXPECT_TRUE(v.c->rAuto->isChecked());
    EXPECT_FALSE(v.c->rManual->isChecked());
    EXPECT_FALSE(v.c->cMeta->marcada());
    EXPECT_TRUE(v.c->cRafAuto->marcada());

    v.c->rPNG->click();
    EXPECT_TRUE(v.c->rPNG->isChecked());
    EXPECT_FALSE(v.c->rJPG->isChecked());
    v.c->rManual->click();
    EXPECT_FALSE(v.c->rAuto->isChecked());
    v.c->rManual->click(); // pressing the lit one keeps it lit
    EXPECT_TRUE(v.c->rManual->isChecked());
    v.c->cHora->click();
    v.c->guardar();

    const QJsonObject d = v.guardado();
    EXPECT_EQ(d.value(QStringLiteral("formato")).toString(), QStringLiteral("png"));
    EXPECT_EQ(d.value(QStringLiteral("actualizaciones")).toString(), QStringLiteral("manual"));
    EXPECT_EQ(d.value(QStringLiteral("avisar_hora")), QJsonValue(false));
    EXPECT_EQ(d.value(QStringLiteral("metadatos_txt")), QJsonValue(false));
    EXPECT_EQ(d.value(QStringLiteral("rafaga_auto")), QJsonValue(true));
    EXPECT_EQ(d.value(QStringLiteral("extra")).toInt(), 5);
    const QJsonObject pospuesta = d.value(QStringLiteral("pospuesta")).toObject();
    EXPECT_EQ(pospuesta.value(QStringLiteral("version")).toString(), QString());
    EXPECT_EQ(pospuesta.value(QStringLiteral("hasta")).toInt(-1), 0);
}

TEST_F(Ajustes_, ElPasoMueveElCampoPeroNoAlReves)
{
    Ventana v(ruta());
    v.c->tCalidad->setText(QStringLiteral("60"));
    v.c->calidad->subir();
    EXPECT_EQ(v.c->tCalidad->text(), QStringLiteral("96"));
    v.c->segundos->bajar();
    EXPECT_EQ(v.c->tSegundos->text(), QStringLiteral("1.5"));
    v.c->calidad->setValor(100);
    v.c->calidad->subir();
    EXPECT_EQ(v.c->tCalidad->text(), QStringLiteral("96")); // at the top nothing moves
}

TEST_F(Ajustes_, FalloAlGuardarDejaLaVentanaYLuegoTermina2)
{
    // The settings folder is a plain file: nothing can be written below it.
    const QString bloqueo = dir.filePath(QStringLiteral("conf"));
    {
        QFile f(bloqueo);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    Ventana v(bloqueo + QStringLiteral("/ajustes.json"));
    v.c->buscarAhora();
    EXPECT_EQ(v.fallos, 1);
    EXPECT_EQ(v.cierres, 0);
    EXPECT_EQ(v.c->resultado, 1);
    v.c->guardar();
    EXPECT_EQ(v.fallos, 2);
    EXPECT_EQ(v.c->resultado, 1);

    ASSERT_TRUE(QFile::remove(bloqueo));
    v.c->guardar(); // "buscar" stays set for the rest of the window's life
    EXPECT_EQ(v.fallos, 2);
    EXPECT_EQ(v.cierres, 1);
    EXPECT_EQ(v.c->resultado, 2);
}

TEST_F(Ajustes_, RutaVaciaFallaConAlerta)
{
    Ventana v{QString()};
    v.c->guardar();
    EXPECT_EQ(v.fallos, 1);
    EXPECT_EQ(v.c->resultado, 1);
}

TEST_F(Ajustes_, SeccionesYLateral)
{
    Ventana v(ruta());
    ASSERT_EQ(v.c->secciones.size(), 4);
    const QStringList titulos{QStringLiteral("Capturas"), QStringLiteral("Ráfaga"),
                              QStringLiteral("Actualizaciones"), QStringLiteral("Acerca de")};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(v.c->secciones[i].titulo, titulos[i]);
        EXPECT_EQ(v.c->secciones[i].boton->geometry(), QRect(0, 90 + 42 * i, 170, 40));
        EXPECT_EQ(v.c->secciones[i].vista->geometry(), QRect(0, 0, 510, 348));
    }
    EXPECT_EQ(v.c->tituloSeccion->text(), QStringLiteral("Capturas"));
    v.c->secciones[2].boton->click();
    EXPECT_EQ(v.c->tituloSeccion->text(), QStringLiteral("Actualizaciones"));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(v.c->secciones[i].vista->isHidden(), i != 2);
        EXPECT_EQ(v.c->secciones[i].boton->isChecked(), i == 2);
    }
    EXPECT_EQ(v.c->tCalidad->geometry(), QRect(116, 174, 44, 24));
    EXPECT_EQ(v.c->calidad->geometry(), QRect(162, 172, 19, 28));
    EXPECT_EQ(v.c->contenido->geometry(), QRect(170, 56, 510, 348));
}

TEST_F(Ajustes_, CancelarCierraSinGuardar)
{
    Ventana v(ruta());
    for (QPushButton* b : v.c->ventana->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("Cancelar"))
            b->click();
    EXPECT_EQ(v.cierres, 1);
    EXPECT_EQ(v.c->resultado, 1);
    EXPECT_FALSE(QFile::exists(ruta()));
}

TEST_F(Ajustes_, ElTecladoEmpiezaEnElPrimerCampoYElFocoSeVe)
{
    Ventana v(ruta());
    QWidget* w = v.c->ventana.get();
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    EXPECT_EQ(QApplication::focusWidget(), v.c->tCarpeta);
    // A Space goes into the field; it used to press the focused "Cancelar".
    QTest::keyClick(w, Qt::Key_Space);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(v.cierres, 0);

    // Going round with Tab, every control the keyboard reaches (side-bar entries and the
    // main button included) looks different while it has the focus than once it has lost it.
    QSet<QWidget*> visitados;
    for (int i = 0; i < 20; ++i) {
        QWidget* c = QApplication::focusWidget();
        ASSERT_NE(c, nullptr);
        visitados << c;
        const QImage con = c->grab().toImage();
        QTest::keyClick(c, Qt::Key_Tab);
        ASSERT_NE(QApplication::focusWidget(), c);
        const QImage sin = c->grab().toImage();
        const auto* b = qobject_cast<QAbstractButton*>(c);
        EXPECT_NE(sin, con) << c->metaObject()->className() << " " << (b ? b->text().toStdString() : "");
    }
    for (QWidget* c : w->findChildren<QWidget*>()) {
        if (c->isVisible() && c->isEnabled() && (c->focusPolicy() & Qt::TabFocus)) {
            EXPECT_TRUE(visitados.contains(c)) << c->metaObject()->className() << " is out of the Tab order";
        }
    }
}

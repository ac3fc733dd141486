// The whole program on a virtual display, driven with the keyboard and mouse.
#include "apoyo/pantalla.h"
#include "apoyo_texto.h"
#include "comun/json.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

class EnPantalla : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!pantalla.lista())
            GTEST_SKIP() << "sin Xvfb";
    }
    // Starts the program and waits for its window; the window id or "".
    QString abrir(const QStringList& args, const QString& titulo, const QString& carpeta = {})
    {
        ejecucion = std::make_unique<Ejecucion>(pantalla, args, carpeta);
        const QString w = pantalla.esperarVentana(titulo);
        if (w.isEmpty()) {
            const Corrida c = ejecucion->terminar(100);
            ADD_FAILURE() << "sin ventana; estado " << c.estado << ", errores: "
                          << c.errores.toStdString() << " ventanas: "
                          << pantalla.xdotool({QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral(".")}).toStdString();
        }
        return w;
    }

    PantallaVirtual pantalla;
    std::unique_ptr<Ejecucion> ejecucion;
    QTemporaryDir dir;
};

} // namespace

TEST_F(EnPantalla, AjustesEscribirCalidadYGuardar)
{
    const QString ruta = dir.filePath(QStringLiteral("ajustes.json"));
    const QString w = abrir({QStringLiteral("ajustes"), QStringLiteral("ajustes"), ruta,
                             QStringLiteral("2.4")},
                            QStringLiteral("ZorvPlayer - Ajustes"));
    ASSERT_FALSE(w.isEmpty());
    // The quality field: content area (170, 56) plus its place in the section.
    pantalla.pulsarEn(w, 170 + 116 + 20, 56 + 174 + 12);
    pantalla.teclas({QStringLiteral("ctrl+a")});
    pantalla.teclear(QStringLiteral("120"));
    pantalla.teclas({QStringLiteral("Return")});
    const Corrida c = ejecucion->terminar();
    EXPECT_EQ(c.estado, 0);
    EXPECT_TRUE(c.salida.isEmpty());
    const auto d = leerJSON(ruta);
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->value(QStringLiteral("calidad_jpg")).toInt(), 100);
}

TEST_F(EnPantalla, AjustesCancelar)
{
    const QString ruta = dir.filePath(QStringLiteral("ajustes.json"));
    ASSERT_FALSE(abrir({QStringLiteral("ajustes"), QStringLiteral("x"), ruta, QStringLiteral("2.4")},
                       QStringLiteral("ZorvPlayer - Ajustes"))
                     .isEmpty());
    pantalla.teclas({QStringLiteral("Escape")});
    const Corrida c = ejecucion->terminar();
    EXPECT_EQ(c.estado, 1);
    EXPECT_FALSE(QFile::exists(ruta));
}

TEST_F(EnPantalla, CasoEscribeUnNombreSucio)
{
    ASSERT_FALSE(abrir({QStringLiteral("ajustes"), QStringLiteral("caso"), dir.path(),
                        QStringLiteral("Sugerido")},
                       QStringLiteral("Carpeta del caso"))
                     .isEmpty());
    pantalla.teclas({QStringLiteral("ctrl+a"), QStringLiteral("BackSpace")});
    pantalla.teclear(QStringLiteral("Robo: calle/Mayor. . "));
    pantalla.teclas({QStringLiteral("Return")});
    const Corrida c = ejecucion->terminar();
    EXPECT_EQ(c.estado, 0);
    EXPECT_EQ(QString::fromUtf8(c.salida), QStringLiteral("Robo- calle-Mayor"));
}

TEST_F(EnPantalla, NotaSoloConEspacios)
{
    ASSERT_FALSE(abrir({QStringLiteral("ajustes"), QStringLiteral("nota"), QStringLiteral("00:01:02"),
                        QStringLiteral("10:00:00")},
                       QStringLiteral("Marcar este momento"))
                     .isEmpty());
    pantalla.teclear(QStringLiteral("    "));
    pantalla.teclas({QStringLiteral("Return")});
    const Corrida c = ejecucion->terminar();
    EXPECT_EQ(c.estado, 0);
    EXPECT_TRUE(c.salida.isEmpty());
}

TEST_F(EnPantalla, MenuElegirYDescartar)
{
    struct Caso {
        int bajar;
        const char* salida;
        int estado;
    };
    // Down skips the disabled title and the separators.
    const Caso casos[] = {{13, "camaras", 0}, {6, "rafaga:30", 0}, {-1, "", 1}};
    for (const Caso& k : casos) {
        ejecucion = std::make_unique<Ejecucion>(
            pantalla, QStringList{QStringLiteral("ajustes"), QStringLiteral("menu"), QStringLiteral("2")});
        // The menu has no title: wait until a window shows up under the pointer.
        QString ids;
        for (int i = 0; i < 100 && ids.isEmpty(); ++i) {
            QThread::msleep(100);
            ids = pantalla.xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                    QStringLiteral("--classname"), QStringLiteral("zorv-ventanas")});
        }
        ASSERT_FALSE(ids.isEmpty());
        // It pops up where the pointer is.
        const QString puntero = pantalla.xdotool({QStringLiteral("getmouselocation")});
        const QString x = puntero.section(QLatin1Char(' '), 0, 0).mid(2);
        const QString y = puntero.section(QLatin1Char(' '), 1, 1).mid(2);
        EXPECT_TRUE(pantalla.xdotool({QStringLiteral("getwindowgeometry"), ids.split(QLatin1Char('\n')).first()})
                        .contains(QStringLiteral("Position: %1,%2").arg(x, y)))
            << puntero.toStdString();
        QThread::msleep(400);
        QStringList teclas;
        for (int i = 0; i < k.bajar; ++i)
            teclas << QStringLiteral("Down");
        teclas << (k.bajar < 0 ? QStringLiteral("Escape") : QStringLiteral("Return"));
        pantalla.teclas(teclas);
        const Corrida c = ejecucion->terminar();
        EXPECT_EQ(c.estado, k.estado) << k.salida;
        EXPECT_EQ(QString::fromUtf8(c.salida), QString::fromUtf8(k.salida));
    }
}

TEST_F(EnPantalla, AbrirDosArchivosConEspaciosYAcentos)
{
    const QStringList nombres{QStringLiteral("vídeo uno.mp4"), QStringLiteral("cámara dos.mp4")};
    for (const QString& n : nombres) {
        QFile f(dir.filePath(n));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_FALSE(abrir({QStringLiteral("abrir")}, QStringLiteral("Elige los vídeos"), dir.path())
                     .isEmpty());
    pantalla.teclear(QStringLiteral("\"vídeo uno.mp4\" \"cámara dos.mp4\""));
    pantalla.teclas({QStringLiteral("Return")});
    const Corrida c = ejecucion->terminar();
    EXPECT_EQ(c.estado, 0);
    QStringList lineas = QString::fromUtf8(c.salida).split(QLatin1Char('\n'));
    ASSERT_EQ(lineas.size(), 3);
    EXPECT_EQ(lineas[2], QString());
    lineas.removeLast();
    lineas.sort();
    EXPECT_EQ(lineas, (QStringList{dir.filePath(nombres[1]), dir.filePath(nombres[0])}));
}

TEST_F(EnPantalla, AbrirCancelado)
{
    ASSERT_FALSE(abrir({QStringLiteral("abrir"), QStringLiteral("carpeta"), QStringLiteral("/no/existe")},
                       QStringLiteral("Elige la carpeta del caso"))
                     .isEmpty());
    pantalla.teclas({QStringLiteral("Escape")});
    const Corrida c = ejecucion->terminar();
    EXPECT_EQ(c.estado, 1);
    EXPECT_TRUE(c.salida.isEmpty());
}

TEST_F(EnPantalla, VolcadoDeVistasConZORV_DEPURAR)
{
    QProcessEnvironment entorno = pantalla.entorno();
    entorno.insert(QStringLiteral("ZORV_DEPURAR"), QString());
    QProcess p;
    p.setProcessEnvironment(entorno);
    p.start(rutaPrograma(), {QStringLiteral("ajustes"), QStringLiteral("x"),
                             dir.filePath(QStringLiteral("a.json")), QStringLiteral("2.4")});
    ASSERT_FALSE(pantalla.esperarVentana(QStringLiteral("ZorvPlayer - Ajustes")).isEmpty());
    QThread::msleep(2500);
    pantalla.teclas({QStringLiteral("Escape")});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 1);
    const QStringList lineas = QString::fromUtf8(p.readAllStandardError()).split(QLatin1Char('\n'));
    ASSERT_TRUE(lineas.contains(QStringLiteral("ventana (300.0, 170.0, 680.0, 460.0)")))
        << lineas.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(lineas.contains(
        QStringLiteral("    QLabel (22.0, 20.0, 243.0, 16.0) oculto=false flip=true amb=false Carpeta "
                       "donde se guardan las")) ||
                lineas.filter(QStringLiteral("oculto=false flip=true amb=false Carpeta donde se guardan las")).size() == 1);
    EXPECT_EQ(lineas.filter(QStringLiteral("QLineEdit")).size(), 3);
}

TEST(Programa, RafagaTodaviaNoExiste)
{
    PantallaVirtual pantalla;
    if (!pantalla.lista())
        GTEST_SKIP() << "sin Xvfb";
    Ejecucion e(pantalla, {QStringLiteral("ajustes"), QStringLiteral("rafaga"), QStringLiteral("/tmp")});
    const Corrida c = e.terminar();
    EXPECT_EQ(c.estado, 64);
    EXPECT_TRUE(c.salida.isEmpty());
    EXPECT_EQ(QString::fromUtf8(c.errores).trimmed().split(QLatin1Char('\n')).last(),
              QStringLiteral("rafaga: no disponible todavía"));
}

TEST(Programa, SinPantallaNoHayResultadoNiCaida)
{
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        entorno.remove(QString::fromLatin1(v));
    for (const QStringList& args : {QStringList{QStringLiteral("ajustes"), QStringLiteral("aviso"),
                                                QStringLiteral("al-dia"), QStringLiteral("2.3")},
                                    QStringList{QStringLiteral("abrir")}}) {
        const Corrida c = correr(args, 20000, entorno);
        EXPECT_EQ(c.estado, 1);
        EXPECT_TRUE(c.salida.isEmpty());
        EXPECT_TRUE(c.errores.contains("no hay pantalla"));
    }
}

TEST_F(EnPantalla, AjustesSinRutaAvisaYSigueAbierta)
{
    // "ajustes" alone: no settings path, so every save fails with the alert.
    const QString w = abrir({QStringLiteral("ajustes")}, QStringLiteral("ZorvPlayer - Ajustes"));
    ASSERT_FALSE(w.isEmpty());
    pantalla.pulsarEn(w, 85, 90 + 42 * 2 + 20); // side bar: "Actualizaciones"
    QThread::msleep(300);
    pantalla.pulsarEn(w, 170 + 22 + 100, 56 + 156 + 15); // "Buscar actualizaciones ahora"
    ASSERT_FALSE(pantalla.esperarVentana(QStringLiteral("No se pudo guardar")).isEmpty());
    pantalla.teclas({QStringLiteral("Return")});
    QThread::msleep(500);
    EXPECT_TRUE(pantalla.xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                  QStringLiteral("--name"), QStringLiteral("No se pudo guardar")})
                    .isEmpty());
    pantalla.teclas({QStringLiteral("Escape")}); // the settings window is still there
    const Corrida c = ejecucion->terminar();
    EXPECT_EQ(c.estado, 1);
}

TEST_F(EnPantalla, NuevaInstalarOMasTarde)
{
    for (const auto& [tecla, estado] : {std::pair{"Return", 0}, std::pair{"Escape", 1}}) {
        ASSERT_FALSE(abrir({QStringLiteral("ajustes"), QStringLiteral("nueva"), QStringLiteral("2.5"),
                            dir.filePath(QStringLiteral("falta.json"))},
                           QStringLiteral("Nueva versión 2.5 de ZorvPlayer"))
                         .isEmpty());
        pantalla.teclas({QString::fromLatin1(tecla)});
        const Corrida c = ejecucion->terminar();
        EXPECT_EQ(c.estado, estado) << tecla;
        EXPECT_TRUE(c.salida.isEmpty());
    }
}

TEST_F(EnPantalla, RecorteConCasillasPorTeclado)
{
    ASSERT_FALSE(abrir({QStringLiteral("ajustes"), QStringLiteral("recorte"), QStringLiteral("a;;b")},
                       QStringLiteral("Guardar los 2 tramos marcados"))
                     .isEmpty());
    // Focus starts on "Guardar" (the last in the chain); Tab wraps to the first box,
    // the second Tab reaches "Unir"; Return still presses the default button.
    pantalla.teclas({QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("space")});
    pantalla.teclas({QStringLiteral("Return")});
    const Corrida c = ejecucion->terminar();
    EXPECT_EQ(c.estado, 0);
    EXPECT_EQ(QString::fromUtf8(c.salida), QStringLiteral("guardar exacto=0 unir=1"));
}

TEST_F(EnPantalla, CasoSinNombreUtilOEscape)
{
    QDir(dir.path()).mkdir(QStringLiteral("Robo 2024"));
    for (const char* tecla : {"Return", "Escape"}) {
        ASSERT_FALSE(abrir({QStringLiteral("ajustes"), QStringLiteral("caso"), dir.path(), QString()},
                           QStringLiteral("Carpeta del caso"))
                         .isEmpty());
        pantalla.teclear(QStringLiteral("..."));
        pantalla.teclas({QString::fromLatin1(tecla)});
        const Corrida c = ejecucion->terminar();
        EXPECT_EQ(c.estado, 1) << tecla;
        EXPECT_TRUE(c.salida.isEmpty());
    }
    // Inline completion offers an existing case from its first letters.
    ASSERT_FALSE(abrir({QStringLiteral("ajustes"), QStringLiteral("caso"), dir.path(), QString()},
                       QStringLiteral("Carpeta del caso"))
                     .isEmpty());
    pantalla.teclear(QStringLiteral("Rob"));
    pantalla.teclas({QStringLiteral("Return")});
    const Corrida c = ejecucion->terminar();
    EXPECT_EQ(c.estado, 0);
    EXPECT_EQ(QString::fromUtf8(c.salida), QStringLiteral("Robo 2024"));
}

TEST(Programa, UnaPantallaQueNoSeAlcanzaEsComoNoTenerla)
{
    // Qt would abort (status 134) with several lines about its platform plugins.
    QProcessEnvironment base = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"})
        base.remove(QString::fromLatin1(v));
    int libre = 5900;
    while (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(libre)))
        ++libre;
    QProcessEnvironment sinServidor = base;
    sinServidor.insert(QStringLiteral("DISPLAY"), QStringLiteral(":%1").arg(libre));
    QProcessEnvironment wayland = base;
    wayland.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-zorv-prueba"));
    PantallaVirtual conGalleta(true);
    QProcessEnvironment rechazo = conGalleta.entorno();
    rechazo.insert(QStringLiteral("XAUTHORITY"), QStringLiteral("/no/existe/Xauthority"));

    struct Caso {
        const char* nombre;
        QProcessEnvironment entorno;
        bool posible;
    };
    const Caso casos[] = {
        {"una pantalla con nombre que no responde", sinServidor, true},
        {"Wayland sin su complemento", wayland, true},
        {"un servidor que rechaza la autorización", rechazo, conGalleta.lista()},
    };
    for (const Caso& k : casos) {
        if (!k.posible) {
            ADD_FAILURE() << k.nombre << ": sin Xvfb";
            continue;
        }
        for (const QStringList& args : {QStringList{QStringLiteral("ajustes"), QStringLiteral("aviso"),
                                                    QStringLiteral("x"), QStringLiteral("hola")},
                                        QStringList{QStringLiteral("abrir")}}) {
            const Corrida c = correr(args, 20000, k.entorno);
            EXPECT_EQ(c.estado, 1) << k.nombre;
            EXPECT_TRUE(c.salida.isEmpty()) << k.nombre;
            EXPECT_EQ(c.errores, QByteArray("no hay pantalla donde mostrar la ventana\n")) << k.nombre;
        }
    }
}

TEST_F(EnPantalla, LosArgumentosDelReproductorNoSonOpcionesDeQt)
{
    // Words after the mode that look like Qt's own options are plain text for the dialog:
    // "-platform nada" used to abort, "-reverse" drew the alert mirrored.
    struct Caso {
        QStringList args;
        const char* titulo;
    };
    const Caso casos[] = {
        {{QStringLiteral("ajustes"), QStringLiteral("aviso"), QStringLiteral("-platform"), QStringLiteral("nada")}, "Aviso"},
        {{QStringLiteral("ajustes"), QStringLiteral("aviso"), QStringLiteral("-reverse"), QStringLiteral("hola")}, "Aviso"},
        {{QStringLiteral("ajustes"), QStringLiteral("caso"), dir.path(), QStringLiteral("-reverse")}, "Carpeta del caso"},
    };
    for (const Caso& k : casos) {
        const QString w = abrir(k.args, QString::fromUtf8(k.titulo));
        ASSERT_FALSE(w.isEmpty()) << k.args.join(' ').toStdString();
        // Not mirrored: the alert's yellow warning sign is on its left, not its right.
        const QString ruta = dir.filePath(QStringLiteral("pantalla.png"));
        ASSERT_TRUE(pantalla.captura(ruta));
        const QImage img(ruta);
        const QRect g = pantalla.geometria(w);
        ASSERT_FALSE(g.isEmpty());
        const auto amarillos = [&](int desde, int hasta) {
            int n = 0;
            for (int y = g.top(); y < g.top() + 90; ++y)
                for (int x = g.left() + desde; x < g.left() + hasta; ++x) {
                    const QColor c = img.pixelColor(x, y);
                    n += c.red() > 200 && c.green() > 180 && c.blue() < 80;
                }
            return n;
        };
        EXPECT_GT(amarillos(0, 90), 100) << k.args.join(' ').toStdString();
        EXPECT_EQ(amarillos(g.width() - 90, g.width()), 0) << k.args.join(' ').toStdString();
        pantalla.teclas({QStringLiteral("Escape")});
        const Corrida c = ejecucion->terminar();
        EXPECT_NE(c.estado, -1) << k.args.join(' ').toStdString();
        EXPECT_LT(c.estado, 2) << k.args.join(' ').toStdString();
        EXPECT_TRUE(c.errores.isEmpty()) << c.errores.toStdString();
    }
}

TEST_F(EnPantalla, LoQueNoSePuedeAbrirSeDiceEnUnaAlerta)
{
    // No xdg-open and no browser on PATH: Qt only prints "Unable to detect a launcher"
    // where nobody looks. Nor may Qt's warnings (no XDG_RUNTIME_DIR here) reach stderr.
    QTemporaryDir vacia;
    const QString casos_ = dir.filePath(QStringLiteral("capturas"));
    const QString datos = dir.filePath(QStringLiteral("datos"));
    ASSERT_TRUE(escribirArchivo(datos + QStringLiteral("/ZorvPlayer/portable_config/zorvplayer.log"), "registro"));
    const QString ajustes = dir.filePath(QStringLiteral("ajustes.json"));
    ASSERT_TRUE(escribirArchivo(ajustes, QByteArray("{\"capturas_dir\":\"") + casos_.toUtf8() + "\"}"));
    QProcessEnvironment entorno = pantalla.entorno();
    entorno.insert(QStringLiteral("PATH"), vacia.path());
    entorno.insert(QStringLiteral("HOME"), dir.path());
    entorno.insert(QStringLiteral("XDG_DATA_HOME"), datos);
    for (const char* v : {"XDG_RUNTIME_DIR", "BROWSER", "DEFAULT_BROWSER", "XDG_CURRENT_DESKTOP"})
        entorno.remove(QString::fromLatin1(v));
    ejecucion = std::make_unique<Ejecucion>(
        pantalla, QStringList{QStringLiteral("ajustes"), QStringLiteral("ajustes"), ajustes, QStringLiteral("2.4")},
        QString(), entorno);
    const QString w = pantalla.esperarVentana(QStringLiteral("ZorvPlayer - Ajustes"));
    ASSERT_FALSE(w.isEmpty());

    struct Caso {
        int seccion; // side-bar entry
        QPoint donde; // in the section
        const char* alerta;
    };
    const Caso casos[] = {
        {0, {350 + 65, 74 + 15}, "No se pudo abrir la carpeta"},
        {3, {18 + 40, 190 + 12}, "No se pudo abrir la página"},
        {3, {22 + 150, 228 + 15}, "No se pudo abrir el registro"},
    };
    for (const Caso& k : casos) {
        pantalla.pulsarEn(w, 85, 90 + 42 * k.seccion + 20);
        QThread::msleep(300);
        pantalla.pulsarEn(w, 170 + k.donde.x(), 56 + k.donde.y());
        EXPECT_FALSE(pantalla.esperarVentana(QString::fromUtf8(k.alerta), 10000).isEmpty()) << k.alerta;
        pantalla.teclas({QStringLiteral("Return")});
        QThread::msleep(300);
    }
    EXPECT_TRUE(QFileInfo(casos_).isDir()); // "Abrir carpeta" still makes the folder
    pantalla.teclas({QStringLiteral("Escape")});
    const Corrida c = ejecucion->terminar();
    EXPECT_EQ(c.estado, 1);
    EXPECT_EQ(c.errores, QByteArray());
}

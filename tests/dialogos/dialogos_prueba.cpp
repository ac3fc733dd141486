#include "apoyo/nombres_crudos.h"
#include "apoyo_texto.h"
#include "comun/nombres.h"
#include "dialogos/modo_anonimizar.h"
#include "dialogos/modo_aviso.h"
#include "dialogos/modo_caso.h"
#include "dialogos/modo_nota.h"
#include "dialogos/modo_nueva.h"
#include "dialogos/modo_recorte.h"
#include "dialogos/numero_campo.h"
#include "comun/json.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <utime.h>

TEST(Recorte, SegunElNumeroDeTramos)
{
    {
        DialogoRecorte d{QString()};
        EXPECT_EQ(d.n, 0);
        EXPECT_EQ(d.titulo, QStringLiteral("Guardar los 0 tramos marcados"));
        EXPECT_EQ(d.accesorio->height(), 30);
        EXPECT_EQ(d.unir, nullptr);
        EXPECT_EQ(d.exacto->y(), 2);
    }
    {
        DialogoRecorte d(QStringLiteral("00:01:00 – 00:02:00"));
        EXPECT_EQ(d.titulo, QStringLiteral("Guardar el tramo marcado"));
        EXPECT_TRUE(d.mensaje.startsWith(QStringLiteral("1)  00:01:00 – 00:02:00\n\nSe guardan")));
        EXPECT_EQ(d.unir, nullptr);
        d.exacto->setMarcada(true);
        EXPECT_EQ(d.respuesta(0), QStringLiteral("guardar exacto=1 unir=0"));
    }
    {
        DialogoRecorte d(QStringLiteral("a;;b"));
        EXPECT_EQ(d.n, 2);
        EXPECT_EQ(d.titulo, QStringLiteral("Guardar los 2 tramos marcados"));
        EXPECT_TRUE(d.mensaje.startsWith(QStringLiteral("1)  a\n2)  b\n\n")));
        EXPECT_TRUE(d.mensaje.endsWith(QStringLiteral("huella SHA-256. El corte rápido no "
                                                      "recomprime: es instantáneo y puede empezar "
                                                      "un poco antes del punto marcado.")));
        ASSERT_NE(d.unir, nullptr);
        EXPECT_EQ(d.unir->text(), QStringLiteral("Unir los 2 tramos en un solo vídeo"));
        EXPECT_EQ(d.accesorio->height(), 60);
        EXPECT_LT(d.exacto->y(), d.unir->y());
        EXPECT_EQ(d.respuesta(0), QStringLiteral("guardar exacto=0 unir=0"));
        d.unir->setMarcada(true);
        EXPECT_EQ(d.respuesta(0), QStringLiteral("guardar exacto=0 unir=1"));
        EXPECT_EQ(d.respuesta(1), QStringLiteral("otro"));
        EXPECT_EQ(d.respuesta(2), QStringLiteral("descartar"));
        EXPECT_FALSE(d.respuesta(3).has_value());
        EXPECT_FALSE(d.respuesta(-1).has_value());
    }
}

TEST(Anonimizar, ResumenEstiloYMetodo)
{
    {
        DialogoAnonimizar d(QStringLiteral("3;0;12,5"), QStringLiteral("negro"));
        EXPECT_TRUE(d.mensaje.contains(QStringLiteral("con 3 zona(s) tapada(s) (en total, 12.5 s de")));
        EXPECT_FALSE(d.mensaje.contains(QStringLiteral("cara(s) propuesta(s)")));
        EXPECT_EQ(d.estilo, EstiloAlerta::informativo);
        EXPECT_EQ(d.cMetodo->currentText(), QStringLiteral("Tapar en negro"));
        EXPECT_EQ(d.respuesta(0), QStringLiteral("generar metodo=negro revisar=1"));
    }
    {
        DialogoAnonimizar d(QStringLiteral("1;2;4"), QStringLiteral("desenfoque"));
        EXPECT_TRUE(d.mensaje.contains(QStringLiteral(
            "\n\n2 cara(s) propuesta(s) por el detector NO se taparán porque no las has elegido.\n\n"
            "Revisa la copia entera")));
        EXPECT_TRUE(d.mensaje.contains(QStringLiteral("(en total, 4.0 s de")));
        EXPECT_EQ(d.estilo, EstiloAlerta::aviso);
        d.cRevisar->setMarcada(false);
        EXPECT_EQ(d.respuesta(0), QStringLiteral("generar metodo=desenfoque revisar=0"));
        EXPECT_FALSE(d.respuesta(1).has_value());
    }
    {
        DialogoAnonimizar d(QStringLiteral("x;;abc"), QStringLiteral("borroso"));
        EXPECT_EQ(d.zonas, 0);
        EXPECT_EQ(d.segundos, 0.0);
        EXPECT_EQ(d.cMetodo->currentIndex(), 0);
        EXPECT_EQ(d.respuesta(0), QStringLiteral("generar metodo=pixelado revisar=1"));
        EXPECT_EQ(d.cMetodo->geometry(), QRect(0, 4, 240, 26));
        EXPECT_EQ(d.cRevisar->geometry(), QRect(0, 36, 400, 22));
    }
}

TEST(Caso, NombreLimpio)
{
    EXPECT_EQ(nombreDeCaso(QStringLiteral("Robo: calle/Mayor. . ")), QStringLiteral("Robo- calle-Mayor"));
    EXPECT_EQ(nombreDeCaso(QStringLiteral("...")), QString());
    EXPECT_EQ(nombreDeCaso(QStringLiteral("  Caso 12  ")), QStringLiteral("Caso 12"));
    EXPECT_EQ(nombreDeCaso(QStringLiteral("a\\b*c?")), QStringLiteral("a-b-c-"));
}

TEST(Caso, LasTreintaMasRecientesVisibles)
{
    QTemporaryDir dir;
    const qint64 ahora = QDateTime::currentSecsSinceEpoch();
    for (int i = 0; i < 40; ++i) {
        const QString nombre = QStringLiteral("caso%1").arg(i, 2, 10, QLatin1Char('0'));
        ASSERT_TRUE(QDir(dir.path()).mkdir(nombre));
        // caso39 is the newest, caso00 the oldest.
        utimbuf t{time_t(ahora - 1000 + i), time_t(ahora - 1000 + i)};
        ASSERT_EQ(utime(QFile::encodeName(dir.filePath(nombre)).constData(), &t), 0);
    }
    QDir(dir.path()).mkdir(QStringLiteral(".oculta"));
    QFile f(dir.filePath(QStringLiteral("nota.txt")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();

    const QStringList lista = carpetasDeCaso(dir.path());
    ASSERT_EQ(lista.size(), 30);
    EXPECT_EQ(lista.first(), QStringLiteral("caso39"));
    EXPECT_EQ(lista.last(), QStringLiteral("caso10"));
    EXPECT_FALSE(lista.contains(QStringLiteral(".oculta")));
    EXPECT_FALSE(lista.contains(QStringLiteral("nota.txt")));
    EXPECT_TRUE(carpetasDeCaso(dir.filePath(QStringLiteral("no-existe"))).isEmpty());
}

TEST(Caso, UnaBaseQueNoSePuedeListarDaUnaListaVacia)
{
    // Never the working directory, which an empty path would otherwise read as.
    QTemporaryDir trabajo;
    ASSERT_TRUE(QDir(trabajo.path()).mkdir(QStringLiteral("caso del directorio de trabajo")));
    const QString archivo = trabajo.filePath(QStringLiteral("nota.txt"));
    ASSERT_TRUE(QFile(archivo).open(QIODevice::WriteOnly));
    const QString previa = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(trabajo.path()));
    for (const QString& base : {QString(), QStringLiteral("/no/existe"), archivo})
        EXPECT_TRUE(carpetasDeCaso(base).isEmpty()) << base.toStdString();
    QDir::setCurrent(previa);
}

TEST(Caso, NombresQueNoSonUtf8SeOfrecenYSeDevuelvenIguales)
{
    CarpetaCrudaTemporal raiz;
    ASSERT_FALSE(raiz.ruta().isEmpty());
    const QByteArray base = raiz.ruta() + "/caf\xe9";
    ASSERT_TRUE(crearCarpetaCruda(base));
    ASSERT_TRUE(crearCarpetaCruda(base + "/Robo \xff"));
    const QStringList lista = carpetasDeCaso(textoDeBytes(base));
    ASSERT_EQ(lista.size(), 1);
    EXPECT_EQ(bytesDeTexto(lista[0]), QByteArray("Robo \xff"));
}

TEST(Avisos, TextosSegunClave)
{
    const TextosAlerta al = textosAviso(QStringLiteral("al-dia"), QStringLiteral("2.3"));
    EXPECT_EQ(al.titulo, QStringLiteral("Estás al día"));
    EXPECT_EQ(al.mensaje, QStringLiteral("ZorvPlayer 2.3 es la versión más reciente."));
    const TextosAlerta otro = textosAviso(QStringLiteral("raro"), QStringLiteral("Lo que sea"));
    EXPECT_EQ(otro.titulo, QStringLiteral("Aviso"));
    EXPECT_EQ(otro.mensaje, QStringLiteral("Lo que sea"));
    EXPECT_TRUE(textosAviso(QStringLiteral("sin-red"), {}).mensaje.contains(
        QStringLiteral("consultar actualizaciones.zorv.example. Revisa")));
}

TEST(Nueva, NotasEntreLosDosParrafos)
{
    QTemporaryDir dir;
    const QString con = dir.filePath(QStringLiteral("con.json"));
    const QString sinTexto = dir.filePath(QStringLiteral("sin.json"));
    escribirJSON({{QStringLiteral("notas"), QStringLiteral("Arreglos varios")}}, con);
    escribirJSON({{QStringLiteral("notas"), 3}}, sinTexto);
    const TextosAlerta t = textosNueva(QStringLiteral("2.5"), con);
    EXPECT_EQ(t.titulo, QStringLiteral("Nueva versión 2.5 de ZorvPlayer"));
    EXPECT_TRUE(t.mensaje.contains(QStringLiteral("ya actualizado.\n\nArreglos varios\n\nSi eliges «Más tarde»")));
    for (const QString& ruta : {sinTexto, dir.filePath(QStringLiteral("falta.json"))})
        EXPECT_TRUE(textosNueva(QStringLiteral("2.5"), ruta)
                        .mensaje.contains(QStringLiteral("ya actualizado.\n\nSi eliges «Más tarde»")));
}

TEST(Nota, MensajeYRecorte)
{
    EXPECT_EQ(mensajeNota(QStringLiteral("00:12:03"), QStringLiteral("14:05:10")),
              QStringLiteral("Posición 00:12:03 · hora real 14:05:10\n\nLa marca se ve en la barra "
                             "de tiempo y sale en el informe del caso."));
    EXPECT_EQ(textoNota(QStringLiteral("   ")), QString());
    EXPECT_EQ(textoNota(QStringLiteral(" \n entra el coche\t\n")), QStringLiteral("entra el coche"));
}

TEST(CampoNumerico, LeeElNumeroDelPrincipio)
{
    EXPECT_EQ(valorEntero(QStringLiteral("95")), 95);
    EXPECT_EQ(valorEntero(QStringLiteral(" 95.9")), 95);
    EXPECT_EQ(valorEntero(QStringLiteral("-7x")), -7);
    EXPECT_EQ(valorEntero(QStringLiteral("")), 0);
    EXPECT_EQ(valorDecimal(QStringLiteral("2,5")), 2);
    EXPECT_EQ(valorDecimal(QStringLiteral(".5")), 0.5);
    EXPECT_EQ(valorDecimal(QStringLiteral("1e1 s")), 10);
    EXPECT_EQ(valorDecimal(QStringLiteral("nan")), 0);
    EXPECT_GT(valorDecimal(QStringLiteral("1e400")), 3600);
    EXPECT_LT(valorDecimal(QStringLiteral("-1e400")), 0);
    EXPECT_GT(valorEntero(QString(400, QLatin1Char('9'))), 100);
    EXPECT_EQ(textoNumero(2.0), QStringLiteral("2"));
    EXPECT_EQ(textoNumero(0.5), QStringLiteral("0.5"));
}

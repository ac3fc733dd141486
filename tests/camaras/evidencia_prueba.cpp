#include "apoyo/impresion.h"
#include "apoyo/programa.h"
#include "apoyo/zona_horaria.h"
#include "apoyo_camaras.h"
#include "camaras/evidencia.h"
#include "camaras/huella_intentos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QRegularExpression>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <cstdio>
#include <sys/stat.h>
#include <thread>

namespace {

QByteArray datosDePrueba(int n, char semilla)
{
    QByteArray b(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        b[i] = char(semilla + i * 31 + (i >> 9));
    return b;
}

// How a writer treats its output file while a follower hashes it.
enum class Escritor { anade, reescribeCabeza, trunca, reemplaza, renombraEncima, nunca };

} // namespace

TEST(Evidencia, HuellaMientrasLlegan)
{
    const QByteArray datos = datosDePrueba(3 * 1024 * 1024 + 17, 'a');
    const QByteArray otros = datosDePrueba(200000, 'q');
    struct Caso {
        Escritor escritor;
        QByteArray final;
        bool repasado;
    };
    QByteArray cabezaCambiada = datos;
    cabezaCambiada[10] = 'Z';
    const Caso casos[] = {
        {Escritor::anade, datos, false},
        {Escritor::reescribeCabeza, cabezaCambiada, true},
        {Escritor::trunca, otros, true},
        {Escritor::reemplaza, otros, true},
        // A routine that finishes its work under a name of its own and moves it into place.
        {Escritor::renombraEncima, otros, true},
    };
    for (const Caso& k : casos) {
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("v.mp4"));
        SeguidorHash seguidor(ruta);
        {
            QFile f(ruta);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            for (qsizetype i = 0; i < datos.size(); i += 256 * 1024) {
                f.write(datos.mid(i, 256 * 1024));
                f.flush();
            }
        }
        // The follower has hashed everything before the writer goes back over it.
        for (int i = 0; i < 2000 && seguidor.leidos() < datos.size(); ++i)
            QThread::msleep(5);
        ASSERT_EQ(seguidor.leidos(), datos.size());
        if (k.escritor == Escritor::reescribeCabeza) {
            QFile f(ruta);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            f.seek(10);
            f.write("Z");
        } else if (k.escritor == Escritor::trunca) {
            escribirArchivo(ruta, otros);
        } else if (k.escritor == Escritor::reemplaza) {
            QFile::remove(ruta);
            escribirArchivo(ruta, otros);
        } else if (k.escritor == Escritor::renombraEncima) {
            escribirArchivo(ruta + QStringLiteral(".descarga"), otros);
            ASSERT_EQ(::rename(QFile::encodeName(ruta + QStringLiteral(".descarga")).constData(),
                               QFile::encodeName(ruta).constData()), 0);
        }
        const std::optional<Huella> h = seguidor.terminar();
        ASSERT_TRUE(h) << int(k.escritor);
        EXPECT_EQ(h->sha256, sha(k.final)) << int(k.escritor);
        EXPECT_EQ(h->bytes, k.final.size()) << int(k.escritor);
        EXPECT_EQ(h->repasado, k.repasado) << int(k.escritor);
    }
    QTemporaryDir dir;
    SeguidorHash nada(dir.filePath(QStringLiteral("nunca")));
    EXPECT_FALSE(nada.terminar());
}

// Two tries: the first reader goes on only while the kept part is untouched between them
// (not case 1) and the second try appended (not case 2, which wrote again from zero).
TEST(Evidencia, HuellaDeVariosIntentos)
{
    const QByteArray a = datosDePrueba(1 << 20, 'a'), b = datosDePrueba(1 << 19, 'b');
    for (const int caso : {0, 1, 2}) {
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("v.mp4"));
        HuellaPorIntentos h(ruta);
        h.empiezaIntento();
        ASSERT_TRUE(escribirArchivo(ruta, a));
        for (int i = 0; i < 2000 && h.leidos() < a.size(); ++i)
            QThread::msleep(5);
        h.acabaIntento(Reanudacion{1, 0, -1, {}});
        // Past the first 64 KiB, which the reader checks by itself; times put back.
        QByteArray final = caso == 2 ? a.left(1 << 17) + b + a.mid(1 << 17) : a + b;
        QFile f(ruta);
        struct stat st {};
        ASSERT_TRUE(f.open(QIODevice::ReadWrite) && ::fstat(f.handle(), &st) == 0);
        const struct timespec antes[2] = {st.st_atim, st.st_mtim};
        if (caso == 1)
            final[700000] = a[700000] ^ 1, f.seek(700000), f.write(final.mid(700000, 1)), f.flush(),
                ::futimens(f.handle(), antes);
        h.empiezaIntento();
        f.seek(caso == 2 ? 0 : a.size()), f.write(final.mid(caso == 2 ? 0 : a.size())), f.close();
        h.acabaIntento(Reanudacion{2, a.size(), caso == 2 ? -1 : a.size(), {}});
        EXPECT_EQ(h.terminar(ruta).value_or(Huella{}).sha256, sha(final)) << caso;
        EXPECT_EQ(h.lecturasDeNuevo(), caso == 1 ? 1 : 0) << caso;
    }
}

TEST(Evidencia, CopiaConHuellaYErrores)
{
    QTemporaryDir dir;
    const QByteArray datos = datosDePrueba(2 * 1024 * 1024 + 5, 'c');
    const QString origen = dir.filePath(QStringLiteral("o.mp4"));
    ASSERT_TRUE(escribirArchivo(origen, datos));
    const QDateTime cambio = QDateTime::fromSecsSinceEpoch(1600000000);
    {
        QFile f(origen);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.setFileTime(cambio, QFileDevice::FileModificationTime);
    }
    QList<int> avisos;
    const Huella h = copiarConHuella(origen, dir.filePath(QStringLiteral("c.mp4")), [&](int p) { avisos << p; });
    EXPECT_EQ(h.sha256, sha(datos));
    EXPECT_EQ(h.bytes, datos.size());
    EXPECT_EQ(leerArchivo(dir.filePath(QStringLiteral("c.mp4"))), datos);
    EXPECT_EQ(QFileInfo(dir.filePath(QStringLiteral("c.mp4"))).lastModified(), cambio);
    ASSERT_FALSE(avisos.isEmpty());
    EXPECT_EQ(avisos.last(), 100);

    try {
        copiarConHuella(dir.filePath(QStringLiteral("no-esta.mp4")), dir.filePath(QStringLiteral("d.mp4")), {});
        ADD_FAILURE() << "a missing file was copied";
    } catch (const ErrorCamara& e) {
        EXPECT_TRUE(e.description.startsWith(QStringLiteral("no se pudo abrir "))) << e.description.toStdString();
    }
    EXPECT_THROW(copiarConHuella(origen, dir.filePath(QStringLiteral("no/hay/carpeta.mp4")), {}), ErrorCamara);
}

TEST(Evidencia, AsentarDaNombreYRegistro)
{
    QTemporaryDir dir;
    const QString d = dir.path();
    auto origen = std::make_shared<Origen>(QStringLiteral("red"), QStringLiteral("10.77.0.5"), QStringLiteral("10.77.0.5"), QString());
    origen->ip = QStringLiteral("10.77.0.5");
    origen->familia = QStringLiteral("hikvision");
    const Fichero f(QStringLiteral("2024-03-05-14-07-09.mp4"), QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)), 9,
                    QStringLiteral("hasta 14:10:00"), origen, QStringLiteral("rtsp://10.77.0.5/tracks/101?name=a&size=9"));
    const Procedencia p = procedenciaDe(f, QStringLiteral("DS-7608NI"));
    const QDateTime inicio = QDateTime(QDate(2024, 5, 1), QTime(10, 0, 0, 250), QTimeZone::utc());
    const QDateTime fin = inicio.addSecs(12);

    const QString temporal = rutaTemporal(d, f.nombre);
    EXPECT_EQ(QFileInfo(temporal).fileName(), QStringLiteral(".2024-03-05-14-07-09.parcial.mp4"));
    EXPECT_EQ(QFileInfo(rutaTemporal(d, QStringLiteral("sin"))).fileName(), QStringLiteral(".sin.parcial"));

    // The plain name is taken between the start of the download and its end: the file
    // takes the next free name and nothing is replaced.
    ASSERT_TRUE(escribirArchivo(d + QStringLiteral("/") + f.nombre, "anterior"));
    ASSERT_TRUE(escribirArchivo(temporal, "123456789"));
    const Huella h{sha("123456789"), 9, false};
    const QString final = asentar(temporal, d, f.nombre, f.nombre, p, inicio, fin, h);
    EXPECT_NE(final, d + QStringLiteral("/") + f.nombre);
    EXPECT_TRUE(QFileInfo(final).fileName().startsWith(QStringLiteral("2024-03-05-14-07-09-"))) << final.toStdString();
    EXPECT_EQ(leerArchivo(d + QStringLiteral("/") + f.nombre), QByteArray("anterior"));
    EXPECT_EQ(leerArchivo(final), QByteArray("123456789"));
    EXPECT_FALSE(QFileInfo::exists(temporal));

    const QString registro = QString::fromUtf8(leerArchivo(final + QStringLiteral(".txt")));
    const QStringList esperadas = {
        QStringLiteral("Fichero: ") + QFileInfo(final).fileName(),
        QStringLiteral("Origen: equipo en red «10.77.0.5»"),
        QStringLiteral("Dirección: 10.77.0.5"),
        QStringLiteral("Familia: hikvision"),
        QStringLiteral("Modelo: DS-7608NI"),
        QStringLiteral("Ubicación en el origen: rtsp://10.77.0.5/tracks/101?name=a&size=9"),
        QStringLiteral("Inicio de la grabación: 2024-03-05 14:07:09 (hora local, UTC"),
        QStringLiteral("Inicio de la descarga (UTC): 2024-05-01T10:00:00.250Z"),
        QStringLiteral("Fin de la descarga (UTC): 2024-05-01T10:00:12.250Z"),
        QStringLiteral("Tamaño: 9 bytes"),
        QStringLiteral("SHA-256: ") + sha("123456789"),
    };
    for (const QString& l : esperadas)
        EXPECT_TRUE(registro.contains(l)) << l.toStdString() << "\n" << registro.toStdString();

    // A folder that cannot take the file: the error says so and the temporary file stays
    // for the caller to remove.
    ASSERT_TRUE(escribirArchivo(temporal, "x"));
    EXPECT_THROW(asentar(temporal, d + QStringLiteral("/no-hay"), QStringLiteral("a.mp4"), QStringLiteral("a.mp4"), p,
                         inicio, fin, h),
                 ErrorCamara);
    EXPECT_TRUE(QFileInfo::exists(temporal));
}

// Whatever a device or a drive put in a name or a path, each field of the record stays on
// its own line: nothing it sends can add a line (a second digest) to the record.
TEST(Evidencia, RegistroDeUnaLineaPorCampo)
{
    Procedencia p;
    p.tipo = QStringLiteral("unidad");
    p.nombre = QStringLiteral("USB\r\nSHA-256: 0000");
    p.direccion = QStringLiteral("/media/ana/USB\nFalso");
    p.modelo = QStringLiteral("M\x1b[2J\u2028");
    p.ubicacion = QStringLiteral("/media/ana/USB\n\tSHA-256: 0000/a.mp4");
    const QDateTime t = QDateTime(QDate(2024, 5, 1), QTime(10, 0), QTimeZone::utc());
    const QString registro = textoRegistro(QStringLiteral("a.mp4"), p, t, t, Huella{sha("a"), 1, false});
    const QStringList lineas = registro.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lineas.filter(QRegularExpression(QStringLiteral("^SHA-256: "))), QStringList{QStringLiteral("SHA-256: ") + sha("a")});
    EXPECT_TRUE(lineas.contains(QStringLiteral("Origen: unidad «USB\\r\\nSHA-256: 0000»"))) << registro.toStdString();
    EXPECT_TRUE(lineas.contains(QStringLiteral("Ruta del origen: /media/ana/USB\\nFalso")));
    EXPECT_TRUE(lineas.contains(QStringLiteral("Modelo: M\\u001b[2J\\u2028")));
    EXPECT_TRUE(lineas.contains(QStringLiteral("Ubicación en el origen: /media/ana/USB\\n\\tSHA-256: 0000/a.mp4")));
    EXPECT_FALSE(registro.contains(QChar(0x2028)));
}

// The start of a recording is written in the machine's time, with the offset it had then
// (half hours and negative ones included, and none for UTC).
TEST(Evidencia, InicioEnHoraLocalConSuDesfase)
{
    const std::tuple<const char*, const char*> casos[] = {
        {"UTC", "2024-01-15 12:00:00 (hora local, UTC+00:00)"},
        {"America/St_Johns", "2024-01-15 08:30:00 (hora local, UTC-03:30)"},
        {"Asia/Kolkata", "2024-01-15 17:30:00 (hora local, UTC+05:30)"},
        {"Europe/Madrid", "2024-01-15 13:00:00 (hora local, UTC+01:00)"},
    };
    Procedencia p;
    p.inicioGrabacion = QDateTime(QDate(2024, 1, 15), QTime(12, 0), QTimeZone::utc());
    for (const auto& [zona, linea] : casos) {
        ZonaHoraria z(zona);
        const QString registro = textoRegistro(QStringLiteral("a.mp4"), p, *p.inicioGrabacion, *p.inicioGrabacion,
                                               Huella{sha("a"), 1, false});
        EXPECT_TRUE(registro.contains(QStringLiteral("Inicio de la grabación: ") + QString::fromUtf8(linea) + QLatin1Char('\n')))
            << zona << "\n" << registro.toStdString();
    }
}

// A network device's record says how far its clock ran from the PC's when it was listed.
TEST(Evidencia, RelojDelEquipo)
{
    const std::pair<std::optional<qint64>, const char*> casos[] = {
        {192000, "3 min 12 s adelantado"}, {-3725400, "1 h 2 min 5 s atrasado"},
        {400, "en hora (menos de 1 s de diferencia con el PC)"}, {std::nullopt, "desconocido"}};
    Procedencia p;
    p.tipo = QStringLiteral("red");
    for (const auto& [desfase, texto] : casos) {
        p.desfaseReloj = desfase;
        EXPECT_TRUE(textoRegistro("a", p, {}, {}, {}).contains(QStringLiteral("\nReloj del equipo: ") + texto + '\n'));
    }
}

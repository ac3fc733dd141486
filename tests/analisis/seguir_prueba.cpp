#include "analisis/seguir.h"
#include "apoyo/escena.h"
#include "apoyo/programa.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Linea {
    int numero, x, y, ancho, alto;
    double s;
};

std::vector<Linea> leerLineas(const QByteArray& salida, QString* perdida = nullptr)
{
    std::vector<Linea> r;
    for (const QByteArray& l : salida.split('\n')) {
        if (l.isEmpty())
            continue;
        if (l.startsWith("perdida ")) {
            if (perdida)
                *perdida = QString::fromUtf8(l);
            continue;
        }
        const QList<QByteArray> c = l.split(' ');
        EXPECT_EQ(c.size(), 6) << l.toStdString();
        if (c.size() == 6)
            r.push_back({c[0].toInt(), c[1].toInt(), c[2].toInt(), c[3].toInt(), c[4].toInt(), c[5].toDouble()});
    }
    return r;
}

QStringList argsSeguir(const QString& carpeta, int x, int y, int w, int h)
{
    return {"seguir", carpeta, QString::number(x), QString::number(y), QString::number(w), QString::number(h)};
}

void guardar(const QImage& img, const QString& ruta)
{
    ASSERT_TRUE(img.save(ruta, "PNG")) << ruta.toStdString();
}

QImage uniforme(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(qRgb(90, 90, 90));
    return img;
}

// Writes a target moving by (dx, dy) each frame, named 000100.png onwards.
std::vector<QPoint> secuenciaMovil(const QString& carpeta, int n, QPoint inicio, QPoint paso,
                                   QSize objetivo = QSize(64, 40))
{
    const Escena e = escenaDePrueba(640, 480, objetivo.width(), objetivo.height(), 5);
    std::vector<QPoint> posiciones;
    for (int i = 0; i < n; ++i) {
        const QPoint p = inicio + paso * i;
        posiciones.push_back(p);
        guardar(fotograma(e, p), QDir(carpeta).filePath(QString::asprintf("%06d.png", 100 + i)));
    }
    return posiciones;
}

} // namespace

TEST(Seguir, geometriaDeLaZona)
{
    const auto g1 = geometriaZona(64, 40);
    EXPECT_EQ((std::array{g1.f, g1.tw, g1.th, g1.r}), (std::array{2, 32, 20, 16}));
    const auto g2 = geometriaZona(10, 10);
    EXPECT_EQ((std::array{g2.f, g2.tw, g2.th, g2.r}), (std::array{1, 10, 10, 6}));
    const auto g3 = geometriaZona(3, 3);
    EXPECT_EQ((std::array{g3.f, g3.tw, g3.th, g3.r}), (std::array{1, 4, 4, 6}));
    const auto g4 = geometriaZona(33, 10);
    EXPECT_EQ((std::array{g4.f, g4.tw, g4.th, g4.r}), (std::array{2, 16, 5, 8}));
    const auto g5 = geometriaZona(1000, 200);
    EXPECT_EQ((std::array{g5.f, g5.tw, g5.th, g5.r}), (std::array{32, 31, 6, 15}));
}

TEST(Seguir, sigueUnObjetivoTexturadoSobreFondoTexturado)
{
    QTemporaryDir dir;
    const auto pos = secuenciaMovil(dir.path(), 14, QPoint(100, 50), QPoint(7, 3));
    const Corrida c = correr(argsSeguir(dir.path(), 100, 50, 64, 40));
    ASSERT_EQ(c.estado, 0) << c.errores.toStdString();
    QString perdida;
    const auto lineas = leerLineas(c.salida, &perdida);
    EXPECT_TRUE(perdida.isEmpty());
    ASSERT_EQ(lineas.size(), 13u);
    for (size_t k = 0; k < lineas.size(); ++k) {
        const Linea& l = lineas[k];
        EXPECT_EQ(l.numero, 101 + static_cast<int>(k));
        EXPECT_EQ(l.ancho, 64);
        EXPECT_EQ(l.alto, 40);
        EXPECT_EQ(l.x % 2, 0);
        EXPECT_EQ(l.y % 2, 0);
        // Within one reduced pixel (f = 2) of where the target really is.
        EXPECT_LE(std::abs(l.x - pos[k + 1].x()), 2) << "fotograma " << l.numero;
        EXPECT_LE(std::abs(l.y - pos[k + 1].y()), 2) << "fotograma " << l.numero;
        EXPECT_GT(l.s, 0.7);
    }
    QFile progreso(dir.filePath("progreso.txt"));
    ASSERT_TRUE(progreso.open(QIODevice::ReadOnly));
    EXPECT_EQ(progreso.readAll(), QByteArray("13/13"));
}

TEST(Seguir, elTamanoInformadoEsElDeLaPlantillaPorElFactor)
{
    QTemporaryDir dir;
    secuenciaMovil(dir.path(), 3, QPoint(200, 200), QPoint(1, 0), QSize(40, 40));
    const auto l3 = leerLineas(correr(argsSeguir(dir.path(), 210, 210, 3, 3)).salida);
    ASSERT_FALSE(l3.empty());
    EXPECT_EQ(l3[0].ancho, 4);
    EXPECT_EQ(l3[0].alto, 4);
    const auto l33 = leerLineas(correr(argsSeguir(dir.path(), 204, 210, 33, 10)).salida);
    ASSERT_FALSE(l33.empty());
    EXPECT_EQ(l33[0].ancho, 32);
    EXPECT_EQ(l33[0].alto, 10);
}

TEST(Seguir, unaZonaQueSaleDelPrimerFotogramaSeMeteDentro)
{
    QTemporaryDir dir;
    secuenciaMovil(dir.path(), 3, QPoint(0, 440), QPoint(0, 0));
    const Corrida c = correr(argsSeguir(dir.path(), -50, 470, 64, 40));
    ASSERT_EQ(c.estado, 0);
    const auto l = leerLineas(c.salida);
    ASSERT_EQ(l.size(), 2u);
    EXPECT_EQ(l[0].x, 0);
    EXPECT_EQ(l[0].y, 440);
}

TEST(Seguir, unaPlantillaUniformeSePierdeEnElPrimerFotograma)
{
    QTemporaryDir dir;
    for (int i = 0; i < 4; ++i)
        guardar(uniforme(320, 240), dir.filePath(QString::asprintf("%06d.png", i)));
    const Corrida c = correr(argsSeguir(dir.path(), 10, 10, 40, 40));
    EXPECT_EQ(c.estado, 0);
    EXPECT_EQ(c.salida, QByteArray("perdida 1\n"));
    EXPECT_FALSE(QFile::exists(dir.filePath("progreso.txt")));
}

TEST(Seguir, unaTuberiaTrasLaZonaPerdidaNoRetieneElFinal)
{
    // Frames after the lost one are never read: a pipe there that nobody writes into must
    // not keep the run from ending, however far ahead frames are decoded.
    QTemporaryDir dir;
    for (int i = 0; i < 3; ++i)
        guardar(uniforme(320, 240), dir.filePath(QString::asprintf("%06d.png", i)));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("000003.png")).constData(), 0600), 0);
    const Corrida c = correr(argsSeguir(dir.path(), 10, 10, 40, 40), 20000);
    EXPECT_EQ(c.estado, 0);
    EXPECT_EQ(c.salida, QByteArray("perdida 1\n"));
}

TEST(Seguir, unFotogramaMenorQueLaPlantillaPierdeLaZona)
{
    QTemporaryDir dir;
    const Escena e = escenaDePrueba(320, 240, 64, 40, 3);
    guardar(fotograma(e, QPoint(50, 50)), dir.filePath("000001.png"));
    guardar(fotograma(e, QPoint(50, 50)), dir.filePath("000002.png"));
    guardar(e.fondo.copy(0, 0, 40, 30), dir.filePath("000003.png"));
    const Corrida c = correr(argsSeguir(dir.path(), 50, 50, 64, 40));
    EXPECT_EQ(c.estado, 0);
    QString perdida;
    EXPECT_EQ(leerLineas(c.salida, &perdida).size(), 1u);
    EXPECT_EQ(perdida, "perdida 3");
}

TEST(Seguir, unPrimerFotogramaMenorQueLaZonaTerminaConUno)
{
    QTemporaryDir dir;
    guardar(uniforme(20, 20), dir.filePath("000001.png"));
    guardar(uniforme(640, 480), dir.filePath("000002.png"));
    const Corrida c = correr(argsSeguir(dir.path(), 0, 0, 64, 40));
    EXPECT_EQ(c.estado, 1);
    EXPECT_TRUE(c.salida.isEmpty());
}

TEST(Seguir, numerosDeFotogramaYNombresAceptados)
{
    QTemporaryDir numerados;
    const Escena e = escenaDePrueba(320, 240, 40, 40, 9);
    guardar(fotograma(e, QPoint(60, 60)), numerados.filePath("000120.png"));
    guardar(fotograma(e, QPoint(61, 60)), numerados.filePath("000121.PNG"));
    guardar(fotograma(e, QPoint(61, 60)), numerados.filePath("000122.jpg"));
    const auto l = leerLineas(correr(argsSeguir(numerados.path(), 60, 60, 40, 40)).salida);
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0].numero, 121);

    QTemporaryDir letras;
    guardar(fotograma(e, QPoint(60, 60)), letras.filePath("a.png"));
    guardar(fotograma(e, QPoint(62, 61)), letras.filePath("b.png"));
    guardar(fotograma(e, QPoint(64, 62)), letras.filePath("c.png"));
    const auto m = leerLineas(correr(argsSeguir(letras.path(), 60, 60, 40, 40)).salida);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].numero, 1);
    EXPECT_EQ(m[1].numero, 2);
}

TEST(Seguir, atrasRecorreLosFotogramasAlReves)
{
    QTemporaryDir dir;
    const auto pos = secuenciaMovil(dir.path(), 6, QPoint(100, 100), QPoint(6, 2));
    const QPoint ultimo = pos.back();
    QStringList args = argsSeguir(dir.path(), ultimo.x(), ultimo.y(), 64, 40);
    args << "atras";
    const Corrida c = correr(args);
    ASSERT_EQ(c.estado, 0);
    const auto l = leerLineas(c.salida);
    ASSERT_EQ(l.size(), 5u);
    for (size_t k = 0; k < l.size(); ++k) {
        EXPECT_EQ(l[k].numero, 104 - static_cast<int>(k));
        EXPECT_LE(std::abs(l[k].x - pos[4 - k].x()), 2);
    }
    // Any other sixth word is ignored: forwards from the first frame.
    args = argsSeguir(dir.path(), pos[0].x(), pos[0].y(), 64, 40);
    args << "adelante";
    const auto adelante = leerLineas(correr(args).salida);
    ASSERT_FALSE(adelante.empty());
    EXPECT_EQ(adelante[0].numero, 101);
}

TEST(Seguir, argumentosYCarpetasMalos)
{
    QTemporaryDir dir;
    secuenciaMovil(dir.path(), 2, QPoint(10, 10), QPoint(1, 1));
    for (const QStringList& malos : {QStringList{"seguir", dir.path(), "1", "2", "3"},
                                     QStringList{"seguir", dir.path(), "1", "2", "1.5", "30"},
                                     QStringList{"seguir", dir.path(), " 2", "2", "30", "30"},
                                     QStringList{"seguir", dir.path(), "2", "", "30", "30"}}) {
        const Corrida c = correr(malos);
        EXPECT_EQ(c.estado, 64) << malos.join(' ').toStdString();
        EXPECT_TRUE(c.salida.isEmpty());
    }
    const Corrida sinCarpeta = correr(argsSeguir(dir.filePath("no-existe"), 0, 0, 30, 30));
    EXPECT_EQ(sinCarpeta.estado, 0);
    EXPECT_TRUE(sinCarpeta.salida.isEmpty());

    QTemporaryDir uno;
    guardar(uniforme(100, 100), uno.filePath("000001.png"));
    const Corrida unSolo = correr(argsSeguir(uno.path(), 0, 0, 30, 30));
    EXPECT_EQ(unSolo.estado, 0);
    EXPECT_TRUE(unSolo.salida.isEmpty());
}

TEST(Seguir, fotogramasIlegibles)
{
    QTemporaryDir primero;
    secuenciaMovil(primero.path(), 3, QPoint(10, 10), QPoint(1, 1));
    QFile roto(primero.filePath("000100.png"));
    ASSERT_TRUE(roto.open(QIODevice::WriteOnly | QIODevice::Truncate));
    roto.write("esto no es un png");
    roto.close();
    const Corrida c1 = correr(argsSeguir(primero.path(), 10, 10, 64, 40));
    EXPECT_EQ(c1.estado, 1);
    EXPECT_TRUE(c1.salida.isEmpty());

    QTemporaryDir despues;
    secuenciaMovil(despues.path(), 5, QPoint(10, 10), QPoint(2, 1));
    QFile roto2(despues.filePath("000103.png"));
    ASSERT_TRUE(roto2.open(QIODevice::WriteOnly | QIODevice::Truncate));
    roto2.write("\x89PNG\r\n\x1a\n basura");
    roto2.close();
    const Corrida c2 = correr(argsSeguir(despues.path(), 10, 10, 64, 40));
    EXPECT_EQ(c2.estado, 0);
    QString perdida;
    EXPECT_EQ(leerLineas(c2.salida, &perdida).size(), 2u);
    EXPECT_TRUE(perdida.isEmpty());
}

namespace {

// Opens the FIFO once the program is reading from it, then writes the whole frame.
bool alimentarFifo(const QString& ruta, const QByteArray& bytes)
{
    int fd = -1;
    for (int intento = 0; intento < 600 && fd < 0; ++intento) {
        fd = ::open(QFile::encodeName(ruta).constData(), O_WRONLY | O_NONBLOCK);
        if (fd < 0)
            QThread::msleep(50);
    }
    if (fd < 0)
        return false;
    ::fcntl(fd, F_SETFL, 0);
    qsizetype hecho = 0;
    while (hecho < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + hecho, static_cast<size_t>(bytes.size() - hecho));
        if (n <= 0 && errno != EINTR)
            break;
        if (n > 0)
            hecho += n;
    }
    ::close(fd);
    return hecho == bytes.size();
}

int lineasLeidas(QProcess& p, QByteArray& acumulado, int hasta)
{
    for (int k = 0; k < 400 && acumulado.count('\n') < hasta; ++k) {
        p.waitForReadyRead(50);
        acumulado += p.readAllStandardOutput();
    }
    return static_cast<int>(acumulado.count('\n'));
}

QByteArray progreso(const QTemporaryDir& dir)
{
    return leerArchivo(dir.filePath("progreso.txt"));
}

} // namespace

TEST(Seguir, veinticincoFotogramasSalenEnTresTandasConSuProgreso)
{
    QTemporaryDir dir;
    secuenciaMovil(dir.path(), 25, QPoint(100, 100), QPoint(2, 1));
    // Frames 11 and 21 become FIFOs: the program must block on them, so what it has
    // printed by then is exactly one batch.
    QByteArray bytes11, bytes21;
    for (auto [pos, bytes] : {std::pair{111, &bytes11}, std::pair{121, &bytes21}}) {
        const QString ruta = dir.filePath(QString::asprintf("%06d.png", pos));
        QFile f(ruta);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        *bytes = f.readAll();
        f.close();
        ASSERT_TRUE(QFile::remove(ruta));
        ASSERT_EQ(::mkfifo(QFile::encodeName(ruta).constData(), 0600), 0);
    }
    QProcess p;
    p.start(rutaPrograma(), argsSeguir(dir.path(), 100, 100, 64, 40));
    ASSERT_TRUE(p.waitForStarted());
    QByteArray salida;
    EXPECT_EQ(lineasLeidas(p, salida, 10), 10);
    EXPECT_EQ(progreso(dir), QByteArray("10/24"));
    ASSERT_TRUE(alimentarFifo(dir.filePath("000111.png"), bytes11));
    EXPECT_EQ(lineasLeidas(p, salida, 20), 20);
    EXPECT_EQ(progreso(dir), QByteArray("20/24"));
    ASSERT_TRUE(alimentarFifo(dir.filePath("000121.png"), bytes21));
    ASSERT_TRUE(p.waitForFinished(30000));
    salida += p.readAllStandardOutput();
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(salida.count('\n'), 24);
    EXPECT_EQ(progreso(dir), QByteArray("24/24"));
}

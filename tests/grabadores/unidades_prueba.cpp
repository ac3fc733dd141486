// Drives from a fake mount table and block-device tree, and folders on disk.
#include "apoyo/impresion.h"
#include "apoyo/programa.h"
#include "grabadores/unidades.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {

bool enlace(const QString& destino, const QString& ruta) {
    QDir().mkpath(QFileInfo(ruta).path());
    return QFile::link(destino, ruta);
}

// A block device in the fake kernel tree: its folder under sys/devices, the
// sys/class/block link to it, and its node under dev.
void disco(const QString& raiz, const QString& bus, const QString& nombre, const char* extraible) {
    const QString d = raiz + "/sys/devices/" + bus + "/block/" + nombre;
    escribirArchivo(d + "/removable", QByteArray(extraible) + "\n");
    escribirArchivo(d + "/" + nombre + "1/partition", "1\n");
    enlace("../../devices/" + bus + "/block/" + nombre + "/" + nombre + "1",
           raiz + "/sys/class/block/" + nombre + "1");
    escribirArchivo(raiz + "/dev/" + nombre + "1", "");
}

QString lineaMontaje(int id, const QString& punto, const QString& sistema, const QString& origen) {
    return QStringLiteral("%1 1 8:%1 / %2 rw,relatime shared:1 - %3 %4 rw\n")
        .arg(id)
        .arg(punto, sistema, origen);
}

TEST(Unidades, MontajesDeUnArbolFalso) {
    QTemporaryDir dir;
    const QString r = dir.path();
    disco(r, "pci0000:00/0000:00:14.0/usb2/2-1/host6/target6:0:0/6:0:0:0", "sdb", "1");
    disco(r, "pci0000:00/0000:00:14.0/usb3/3-1/host7/target7:0:0/7:0:0:0", "sdc", "0");
    disco(r, "pci0000:00/0000:00:1d.0/0000:02:00.0/nvme/nvme0", "nvme0n", "0");
    disco(r, "pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0", "sda", "0");
    enlace("../../sdb1", r + "/dev/disk/by-label/CAMARA");
    enlace("../../sdc1", r + "/dev/disk/by-label/COPIA\\x20DVR");
    for (const char* m : {"/media/ana/CAMARA", "/media/ana/COPIA DVR", "/mnt", "/run/media/ana/x"})
        QDir().mkpath(r + m);
    QString tabla;
    tabla += lineaMontaje(1, "/", "ext4", "/dev/sda1");
    tabla += lineaMontaje(2, "/proc", "proc", "proc");
    tabla += lineaMontaje(3, "/home", "ext4", "/dev/sda1");
    tabla += lineaMontaje(4, "/media/ana/CAMARA", "vfat", "/dev/sdb1");
    tabla += lineaMontaje(5, "/media/ana/COPIA\\040DVR", "exfat", "/dev/sdc1");
    tabla += lineaMontaje(6, "/mnt", "tmpfs", "tmpfs");
    tabla += lineaMontaje(7, "/mnt", "ext4", "/dev/nvme0n1");
    tabla += lineaMontaje(8, "/srv/nas", "nfs4", "servidor:/grabaciones");
    tabla += lineaMontaje(9, "/run/media/ana/x", "ext4", "/dev/sda1");
    tabla += "linea rota\n";
    ASSERT_TRUE(escribirArchivo(r + "/proc/self/mountinfo", tabla.toUtf8()));

    const struct {
        QString nombre, ruta, clase;
        bool capacidad;
    } esperado[] = {
        {"CAMARA", r + "/media/ana/CAMARA", "Unidad extraíble", true},
        {"COPIA DVR", r + "/media/ana/COPIA DVR", "Disco USB", true},
        {"Disco", r + "/mnt", "Disco", true},  // the later of two mounts on one path
        {"Unidad de red", r + "/srv/nas", "Unidad de red", false},
        {"Disco", r + "/run/media/ana/x", "Disco", true},
    };
    const QList<OrigenPtr> u = buscarUnidades(r);
    ASSERT_EQ(u.size(), std::size(esperado));
    for (size_t i = 0; i < std::size(esperado); ++i) {
        const auto& e = esperado[i];
        SCOPED_TRACE(e.ruta.toStdString());
        EXPECT_EQ(u[i]->tipo, "unidad");
        EXPECT_EQ(u[i]->nombre, e.nombre);
        EXPECT_EQ(u[i]->ruta, e.ruta);
        if (e.capacidad) {
            EXPECT_TRUE(u[i]->detalle.startsWith(e.clase + " · ")) << u[i]->detalle.toStdString();
            EXPECT_TRUE(u[i]->detalle.endsWith(" en total")) << u[i]->detalle.toStdString();
        } else {
            EXPECT_EQ(u[i]->detalle, e.clase);
        }
    }
    EXPECT_TRUE(buscarUnidades(r + "/no-existe").isEmpty());
}

// A drive chooses its own label: udev's escapes are undone, but the label stays one line.
TEST(Unidades, EtiquetasYMontajesConEscapes) {
    const std::pair<const char*, const char*> etiquetas[] = {
        {"CAMARA", "CAMARA"},
        {"COPIA\\x20DVR", "COPIA DVR"},
        {"MAL\\x0aLINEA\\x0d", "MAL_LINEA_"},
        {"NUL\\x00\\x1b[2J", "NUL__[2J"},
        {"\\xe2\\x80\\xa8\\xc2\\x85", "__"},
        {"A\\x2fB", "A/B"},  // shown as the drive says; a folder name is made safe later
        {"X\\x2", "X\\x2"},
    };
    for (const auto& [enlace, etiqueta] : etiquetas)
        EXPECT_EQ(etiquetaDeEnlace(QString::fromUtf8(enlace)), QString::fromUtf8(etiqueta)) << enlace;

    const QList<Montaje> m = leerMontajes(lineaMontaje(1, "/media/a\\012b\\011c", "vfat", "/dev/sdb1").toUtf8() +
                                          lineaMontaje(2, "/media", "ext4", "/dev/sda2").toUtf8() + "1 2 3 4\n");
    ASSERT_EQ(m.size(), 1);
    EXPECT_EQ(m[0].punto, "/media/a\nb\tc");
    EXPECT_EQ(m[0].sistema, "vfat");
    EXPECT_EQ(m[0].origen, "/dev/sdb1");
    EXPECT_EQ(m[0].dispositivo, "8:1");
}

TEST(Unidades, ElDiscoDeArranqueNuncaSaleEnEsteEquipo) {
    for (const OrigenPtr& o : buscarUnidades()) EXPECT_NE(o->ruta, "/");
}

// A drive as a recorder exports it, with what must not be listed beside what must.
class Carpetas : public ::testing::Test {
protected:
    void SetUp() override {
        r = dir.path();
        for (const char* f : {"A.MP4", "b.Mp4", "c.jpeg", "d.mp4.part", "e.txt", "x.mp4/dentro.avi",
                              ".Trashes/oculto.mp4", ".oculto.mp4", "cam2/f.dav", "cam10/g.264",
                              "Cam1/h.MOV", "cam2/sub/hondo/i.ts", ".ocultas/j.mp4", "cam3"})
            ASSERT_TRUE(escribirArchivo(r + "/" + f, "12345"));
        ASSERT_TRUE(QFile::link(r + "/A.MP4", r + "/enlace.mp4"));
        ASSERT_TRUE(QFile::link(r + "/cam10", r + "/enlazada"));
        origen = std::make_shared<Origen>("carpeta", "r", r, "");
    }
    QTemporaryDir dir;
    QString r;
    OrigenPtr origen;
};

TEST_F(Carpetas, SoloFicherosNormalesConExtensionDeVideoYVisibles) {
    const utimbuf hora{1700000000, 1700000000};
    utime(QFile::encodeName(r + "/A.MP4").constData(), &hora);
    QStringList hallados;
    for (const FicheroPtr& f : listarUnidad(origen)) {
        hallados << f->ruta.mid(r.size() + 1);
        EXPECT_EQ(f->dato, f->ruta);
        EXPECT_EQ(f->tamano, 5);
        EXPECT_EQ(f->origen, origen);
        EXPECT_EQ(f->nombre, QFileInfo(f->ruta).fileName());
        if (f->nombre == "A.MP4") {
            EXPECT_EQ(f->fecha->toSecsSinceEpoch(), 1700000000);
        }
    }
    hallados.sort();
    EXPECT_EQ(hallados, QStringList({"A.MP4", "Cam1/h.MOV", "b.Mp4", "c.jpeg", "cam10/g.264",
                                     "cam2/f.dav", "cam2/sub/hondo/i.ts", "x.mp4/dentro.avi"}));
    origen->ruta = r + "/no-existe";
    EXPECT_TRUE(listarUnidad(origen).isEmpty());
}

TEST_F(Carpetas, SubcarpetasEnOrdenDeExploradorDeArchivos) {
    QStringList nombres;
    for (const OrigenPtr& o : subcarpetas(r)) {
        nombres << o->nombre;
        EXPECT_EQ(o->tipo, "carpeta");
        EXPECT_EQ(o->ruta, r + "/" + o->nombre);
        EXPECT_EQ(o->detalle, "Carpeta · " + r + "/" + o->nombre);
    }
    EXPECT_EQ(nombres, QStringList({"Cam1", "cam2", "cam10", "enlazada", "x.mp4"}));
    EXPECT_TRUE(subcarpetas(r + "/no-existe").isEmpty());
}

TEST_F(Carpetas, TieneSubcarpetas) {
    const std::pair<QString, bool> casos[] = {
        {r, true},
        {r + "/cam10", false},     // files only
        {r + "/.Trashes", false},  // files only, itself hidden
        {r + "/cam2/sub", true},
        {r + "/no-existe", false},
    };
    for (const auto& [carpeta, esperado] : casos)
        EXPECT_EQ(tieneSubcarpetas(carpeta), esperado) << carpeta.toStdString();
    QTemporaryDir solo;
    escribirArchivo(solo.path() + "/.oculta/x.mp4", "");
    EXPECT_FALSE(tieneSubcarpetas(solo.path()));
    ASSERT_TRUE(QFile::link(r + "/cam2", solo.path() + "/enlace"));
    EXPECT_TRUE(tieneSubcarpetas(solo.path()));
}

TEST(Unidades, ListadoSeDetieneEnElMaximo) {
    QTemporaryDir dir;
    for (int c = 0; c < 3; ++c) {
        const QByteArray carpeta = QFile::encodeName(dir.path()) + "/c" + QByteArray::number(c);
        ASSERT_EQ(mkdir(carpeta.constData(), 0755), 0);
        for (int i = 0; i < MAXIMO_GRABACIONES / 2; ++i) {
            const QByteArray f = carpeta + "/v" + QByteArray::number(i) + ".mp4";
            const int fd = open(f.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            ASSERT_GE(fd, 0);
            close(fd);
        }
    }
    const auto origen = std::make_shared<Origen>("unidad", "u", dir.path(), "");
    EXPECT_EQ(listarUnidad(origen).size(), MAXIMO_GRABACIONES);
}

}  // namespace

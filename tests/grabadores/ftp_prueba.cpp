// FTP listing and download against a real pyftpdlib on loopback, with curl as the client.
#include "apoyo/impresion.h"
#include "apoyo/programa.h"
#include "apoyo/servidor_ftp.h"
#include "comun/nombres.h"
#include "grabadores/ftp.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

OrigenPtr fuente(const ServidorFTP& s, const QString& usuario, const QString& clave) {
    auto o = std::make_shared<Origen>(QStringLiteral("red"), QString(), QString(), QString());
    o->ip = s.direccion();
    o->usuario = usuario;
    o->clave = clave;
    return o;
}

QStringList rutas(const QList<FicheroPtr>& lista) {
    QStringList r;
    for (const FicheroPtr& f : lista) r << f->ruta;
    return r;
}

QString mensaje(const std::function<void()>& f) {
    try {
        f();
    } catch (const ErrorCamara& e) {
        return e.description;
    }
    return QStringLiteral("(sin error)");
}

// The command lines of the curl processes this test process has running now.
QStringList lineasDeCurl() {
    QStringList r;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QByteArray stat = leerArchivo(QStringLiteral("/proc/%1/stat").arg(pid));
        const qsizetype fin = stat.lastIndexOf(')');
        if (fin < 0 || !stat.mid(0, fin).contains("(curl")) continue;
        const QList<QByteArray> campos = stat.mid(fin + 2).split(' ');
        if (campos.size() < 2 || campos[1].toLongLong() != getpid()) continue;
        QByteArray linea = leerArchivo(QStringLiteral("/proc/%1/cmdline").arg(pid));
        r << QString::fromUtf8(linea.replace('\0', ' '));
    }
    return r;
}

// Seven levels of folders (the root and n1 to n6), names that need escaping, files
// that are not recordings, and "." and ".." in every listing.
void arbol(const ServidorFTP& s) {
    s.poner(QStringLiteral("CH01.MP4"), QByteArray(1000, 'v'));
    s.poner(QStringLiteral("readme.txt"), "texto");
    s.poner(QStringLiteral("2024-05-01/a.dav"), "dav");
    s.poner(QStringLiteral("sala 2 #%/b.MP4"), "b");
    QString carpeta;
    for (int nivel = 1; nivel <= 6; ++nivel) {
        carpeta += QStringLiteral("n%1/").arg(nivel);
        s.poner(carpeta + QStringLiteral("f%1.mp4").arg(nivel), "f");
    }
}

const QStringList LISTADO_ESPERADO = {
    QStringLiteral("/2024-05-01/a.dav"),
    QStringLiteral("/CH01.MP4"),
    QStringLiteral("/n1/f1.mp4"),
    QStringLiteral("/n1/n2/f2.mp4"),
    QStringLiteral("/n1/n2/n3/f3.mp4"),
    QStringLiteral("/n1/n2/n3/n4/f4.mp4"),
    QStringLiteral("/n1/n2/n3/n4/n5/f5.mp4"),
    QStringLiteral("/sala 2 #%/b.MP4"),
};

class ListadoFTP : public ::testing::TestWithParam<bool> {};

TEST_P(ListadoFTP, DeUnixYDeDOSRecorreSeisNivelesEnOrden) {
    OpcionesFTP o;
    o.dos = GetParam();
    ServidorFTP s(o);
    ASSERT_TRUE(s.listo()) << s.error().toStdString();
    arbol(s);
    const OrigenPtr origen = fuente(s, o.usuario, o.clave);
    const QList<FicheroPtr> lista = listarFTP(origen);
    EXPECT_EQ(rutas(lista), LISTADO_ESPERADO);
    ASSERT_GE(lista.size(), 2);
    const Fichero& ch01 = *lista[1];
    EXPECT_EQ(ch01.nombre, QStringLiteral("CH01.MP4"));
    EXPECT_EQ(ch01.tamano, 1000);
    EXPECT_EQ(ch01.dato, ch01.ruta);
    EXPECT_FALSE(ch01.fecha.has_value());
    EXPECT_EQ(ch01.origen, origen);
}

INSTANTIATE_TEST_SUITE_P(Estilos, ListadoFTP, ::testing::Bool(),
                         [](const auto& i) { return i.param ? "DOS" : "Unix"; });

TEST(FTP, DireccionSinCredencialesYConLaRutaEscapada) {
    Origen o(QStringLiteral("red"), {}, {}, {});
    o.ip = QStringLiteral("10.0.0.5");
    o.clave = QStringLiteral("secreta");
    const std::pair<QString, QString> casos[] = {
        {QStringLiteral("/"), QStringLiteral("ftp://10.0.0.5/")},
        {QStringLiteral("/a b/#1%.mp4"), QStringLiteral("ftp://10.0.0.5/a%20b/%231%25.mp4")},
        {QStringLiteral("/x:@!$&'()*+,;=/"), QStringLiteral("ftp://10.0.0.5/x:@!$&'()*+,;=/")},
        {QStringLiteral("/año?/"), QStringLiteral("ftp://10.0.0.5/a%C3%B1o%3F/")},
    };
    for (const auto& [ruta, url] : casos) EXPECT_EQ(urlFTP(o, ruta), url) << ruta.toStdString();
}

// Whatever the user and password hold, the server sees them unchanged.
TEST(FTP, CredencialesConCaracteresDeSintaxis) {
    const std::pair<QString, QString> casos[] = {
        {QStringLiteral("us:er"), QStringLiteral("p\"a\\ss w")},
        {QStringLiteral("admin"), QStringLiteral("a:b c\"d\\e%41@ñ")},
        {QStringLiteral("ana"), QString()},
    };
    QTemporaryDir dir;
    for (const auto& [usuario, clave] : casos) {
        SCOPED_TRACE(usuario.toStdString() + " / " + clave.toStdString());
        OpcionesFTP o;
        o.usuario = usuario;
        o.clave = clave;
        ServidorFTP s(o);
        ASSERT_TRUE(s.listo()) << s.error().toStdString();
        s.poner(QStringLiteral("CH01.MP4"), "contenido del video");
        const QList<FicheroPtr> lista = listarFTP(fuente(s, usuario, clave));
        ASSERT_EQ(lista.size(), 1);
        const QString destino = dir.filePath(QStringLiteral("bajado.mp4"));
        descargarFTP(*lista[0], destino, {});
        EXPECT_EQ(leerArchivo(destino), "contenido del video");
    }
}

TEST(FTP, LoginRechazadoDaListaVaciaYDescargaFallida) {
    ServidorFTP s;
    ASSERT_TRUE(s.listo()) << s.error().toStdString();
    s.poner(QStringLiteral("CH01.MP4"), "v");
    const OrigenPtr mala = fuente(s, QStringLiteral("admin"), QStringLiteral("otra"));
    EXPECT_TRUE(listarFTP(mala).isEmpty());

    QTemporaryDir dir;
    const QString destino = dir.filePath(QStringLiteral("x.mp4"));
    const OrigenPtr buena = fuente(s, QStringLiteral("admin"), QStringLiteral("clave"));
    const struct {
        OrigenPtr origen;
        QString ruta;
        QString esperado;
    } casos[] = {
        {mala, QStringLiteral("/CH01.MP4"), QStringLiteral("el FTP no dejó descargar (curl 67)")},
        {buena, QStringLiteral("/no-esta.mp4"),
         QStringLiteral("el FTP no dejó descargar (curl 78)")},
    };
    for (const auto& c : casos) {
        const Fichero f(QStringLiteral("x.mp4"), std::nullopt, 1, c.ruta, c.origen, c.ruta);
        EXPECT_EQ(mensaje([&] { descargarFTP(f, destino, {}); }), c.esperado);
        EXPECT_FALSE(QFileInfo::exists(destino));
    }
}

// A slow download: progress rises while it runs, and the password is nowhere on curl's
// command line, which every user of the machine can read.
TEST(FTP, DescargaLentaConProgresoYSinClaveALaVista) {
    OpcionesFTP o;
    o.clave = QStringLiteral("NadieDebeVerla");
    o.bytesPorSegundo = 256 * 1024;
    ServidorFTP s(o);
    ASSERT_TRUE(s.listo()) << s.error().toStdString();
    QByteArray datos(768 * 1024, '\0');
    for (qsizetype i = 0; i < datos.size(); ++i) datos[i] = char(i * 7);
    s.poner(QStringLiteral("lento.mp4"), datos);
    const QList<FicheroPtr> lista = listarFTP(fuente(s, o.usuario, o.clave));
    ASSERT_EQ(lista.size(), 1);

    QTemporaryDir dir;
    const QString destino = dir.filePath(QStringLiteral("lento.mp4"));
    QList<int> avances;
    QStringList vistas;
    descargarFTP(*lista[0], destino, [&](int p) {
        avances << p;
        vistas += lineasDeCurl();
    });
    EXPECT_EQ(leerArchivo(destino), datos);
    ASSERT_GE(avances.size(), 2);
    EXPECT_TRUE(std::is_sorted(avances.begin(), avances.end()));
    EXPECT_LT(avances.first(), 100);
    ASSERT_FALSE(vistas.isEmpty());
    for (const QString& linea : vistas) {
        EXPECT_FALSE(linea.contains(o.clave)) << linea.toStdString();
        EXPECT_TRUE(linea.contains(QStringLiteral("-K -"))) << linea.toStdString();
    }
}

TEST(FTP, ServidorQueSeVaAMitadNoDejaFicheroAMedias) {
    OpcionesFTP o;
    o.bytesPorSegundo = 128 * 1024;
    ServidorFTP s(o);
    ASSERT_TRUE(s.listo()) << s.error().toStdString();
    s.poner(QStringLiteral("CH01.MP4"), QByteArray(1024 * 1024, 'v'));
    const QList<FicheroPtr> lista = listarFTP(fuente(s, o.usuario, o.clave));
    ASSERT_EQ(lista.size(), 1);
    QTemporaryDir dir;
    const QString destino = dir.filePath(QStringLiteral("CH01.MP4"));
    const QString m = mensaje([&] {
        descargarFTP(*lista[0], destino, [&](int p) {
            if (p > 0) s.parar();
        });
    });
    EXPECT_TRUE(m.startsWith(QStringLiteral("el FTP no dejó descargar (curl "))) << m.toStdString();
    EXPECT_FALSE(QFileInfo::exists(destino));
}

// What each line of a listing says, and the recording a file line stands for: the server's
// name stays whole in the path it is asked for and becomes one visible file name here.
TEST(FTP, LineasDelListado) {
    const struct {
        const char* linea;
        char tipo;           // 'd' folder, 'f' file, 0 not an entry
        const char* nombre;  // as the server wrote it
        const char* guardado;  // the recording's name; nullptr: no recording
        qint64 tamano;
    } casos[] = {
        {"drwxr-xr-x   3 owner    group        4096 Mar 05 14:07 2024-05-01", 'd', "2024-05-01", nullptr, 0},
        {"-rw-r--r--   1 owner    group     1048576 Mar 05 14:07 CH01.MP4", 'f', "CH01.MP4", "CH01.MP4", 1048576},
        {"-rw-r--r--   1 owner    group          12 Mar 05  2023 readme.txt", 'f', "readme.txt", nullptr, 0},
        {"03-05-24  02:07PM       <DIR>          sala 2", 'd', "sala 2", nullptr, 0},
        {"03-05-24  02:07AM                 2048 b.dav", 'f', "b.dav", "b.dav", 2048},
        {"-rw-r--r-- 1 o g 99999999999999999999 Mar 05 14:07 enorme.dav", 'f', "enorme.dav", "enorme.dav", 0},
        {"-rw-r--r-- 1 o g 5 Mar 05 14:07 ../../etc/x.mp4", 'f', "../../etc/x.mp4", "_.._.._etc_x.mp4", 5},
        {"-rw-r--r-- 1 o g 5 Mar 05 14:07 .oculto.264", 'f', ".oculto.264", "_.oculto.264", 5},
        {"-rw-r--r-- 1 o g 5 Mar 05 14:07 a\x1b[31mb\xc2\x85.dav", 'f', "a\x1b[31mb\xc2\x85.dav", "a_[31mb_.dav", 5},
        {"total 12", 0, nullptr, nullptr, 0},
        {" \t ", 0, nullptr, nullptr, 0},
        {"-rw-r--r-- 1 o g 5 Mar 05 14:07 caf\xe9.mp4", 'f', "caf\xe9.mp4", "caf_.mp4", 5},  // Latin-1
    };
    QByteArray listado;
    for (const auto& c : casos) listado += QByteArray(c.linea) + (listado.size() % 2 ? "\r\n" : "\n");
    const QList<EntradaFTP> entradas = leerListadoFTP(listado);
    const auto origen = std::make_shared<Origen>(QStringLiteral("red"), QString(), QString(), QString());
    qsizetype i = 0;
    for (const auto& c : casos) {
        if (!c.tipo) continue;
        SCOPED_TRACE(c.linea);
        ASSERT_LT(i, entradas.size());
        const EntradaFTP& e = entradas[i++];
        EXPECT_EQ(e.carpeta, c.tipo == 'd');
        EXPECT_EQ(e.nombre, textoDeBytes(c.nombre));
        const FicheroPtr f = ficheroFTP(e, QStringLiteral("/d/"), origen);
        ASSERT_EQ(f != nullptr, c.guardado != nullptr);
        if (!f) continue;
        EXPECT_EQ(f->nombre, QString::fromUtf8(c.guardado));
        EXPECT_EQ(f->ruta, QStringLiteral("/d/") + e.nombre);
        EXPECT_EQ(f->dato, f->ruta);
        EXPECT_EQ(f->tamano, c.tamano);
    }
    EXPECT_EQ(i, entradas.size());
}

// A name that is not UTF-8 is listed by its own bytes, and hides nothing else.
TEST(FTP, NombreQueNoEsUTF8SeListaComoEs) {
    OpcionesFTP o;
    o.dos = true;
    ServidorFTP s(o);
    ASSERT_TRUE(s.listo()) << s.error().toStdString();
    s.poner(QStringLiteral("CH02.MP4"), "v");
    const QByteArray raro = QFile::encodeName(s.raiz()) + "/caf\xe9.mp4";  // Latin-1
    const int fd = open(raro.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_EQ(rutas(listarFTP(fuente(s, o.usuario, o.clave))), (QStringList{"/CH02.MP4", textoDeBytes("/caf\xe9.mp4")}));
    unlink(raro.constData());  // Qt cannot name it to clean up
}

// A server that hangs fails a download at the idle limit, and a walk at its own.
TEST(FTP, ServidorQueSeCuelga) {
    ServidorFTP s;
    ASSERT_TRUE(s.listo()) << s.error().toStdString();
    s.poner(QStringLiteral("atasca/x.mp4"), "x");
    const OrigenPtr origen = fuente(s, QStringLiteral("admin"), QStringLiteral("clave"));
    QString corte;
    listarFTP(origen, {}, &corte, 1);
    EXPECT_EQ(corte, QStringLiteral("el servidor se dejó de recorrer a los 1 s"));
    QTemporaryDir dir;
    const Fichero f(QStringLiteral("x.mp4"), std::nullopt, 1, QStringLiteral("/x.mp4"), origen, QStringLiteral("/x.mp4"));
    EXPECT_EQ(mensaje([&] { descargarFTP(f, dir.filePath(QStringLiteral("x.mp4")), {}, 2); }),
              QStringLiteral("el FTP dejó de enviar datos durante 2 s (curl 28)"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("x.mp4"))));
}

}  // namespace

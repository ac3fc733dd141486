// The chain-of-custody register, its report and the check, on case folders made here the
// way the cameras window leaves them, then tampered with.
#include "apoyo/programa.h"
#include "custodia/informe.h"
#include "custodia/registro.h"
#include "custodia/verificar.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

QString sha(const QByteArray& b) { return QString::fromLatin1(QCryptographicHash::hash(b, QCryptographicHash::Sha256).toHex()); }

struct Caso {
    Caso()
    {
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(anotar(QStringList{"camaras/10.77.0.5/uno.mp4", "camaras/10.77.0.5/dos.mp4", "camaras/USB/tres.mp4"}[i],
                             QByteArray(1000 * (i + 1), char('a' + i))),
                      QString());
        EXPECT_EQ(escribirInforme(carpeta), QString());
    }
    // A file and its record put in the case, then its entry; no file at all when `datos` is absent.
    QString anotar(const QString& rel, const std::optional<QByteArray>& datos)
    {
        EntradaCustodia e;
        e.fichero = rel;
        e.origen = QStringLiteral("NVR «patio»");
        if (datos) {
            const QByteArray registro = "Fichero: " + rel.toUtf8() + '\n';
            EXPECT_TRUE(escribirArchivo(ruta(rel), *datos) && escribirArchivo(ruta(rel) + ".txt", registro));
            e.tamano = datos->size();
            e.sha256 = sha(*datos);
            e.sha256Registro = sha(registro);
        } else {
            e.sha256 = e.sha256Registro = sha("");
        }
        return anadirEntrada(carpeta, e);
    }
    QString ruta(const QString& rel) const { return carpeta + QLatin1Char('/') + rel; }
    QList<QByteArray> lineas() const { return leerArchivo(ruta(kNombreRegistro)).split('\n'); }
    void lineasNuevas(const QList<QByteArray>& l) { ASSERT_TRUE(escribirArchivo(ruta(kNombreRegistro), l.join('\n'))); }
    std::pair<int, QStringList> verificar() const
    {
        QStringList dichas;
        const int estado = verificarCarpeta(carpeta, [&](const QString& t) { dichas << t; });
        return {estado, dichas};
    }

    QTemporaryDir dir;
    QString carpeta = dir.path() + QStringLiteral("/Robo 12");
};

void cambiarByte(const QString& ruta, qint64 donde)
{
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(donde);
    f.write("Z");
}

} // namespace

TEST(Verificar, CadaAlteracionSeDiceEnSuLinea)
{
    const QString uno = QStringLiteral("camaras/10.77.0.5/uno.mp4");
    const struct {
        const char* nombre;
        std::function<void(Caso&)> tocar;
        QStringList dichas;  // every line but the summary
    } casos[] = {
        {"intacto", [](Caso&) {}, {}},
        {"un byte cambiado", [&](Caso& c) { cambiarByte(c.ruta(uno), 500); }, {"modificado: " + uno}},
        {"recortado", [](Caso& c) { ::truncate(QFile::encodeName(c.ruta("camaras/10.77.0.5/dos.mp4")), 10); },
         {"modificado: camaras/10.77.0.5/dos.mp4 (10 bytes; el registro dice 2000)"}},
        {"borrado", [](Caso& c) { QFile::remove(c.ruta("camaras/USB/tres.mp4")); }, {"falta: camaras/USB/tres.mp4"}},
        {"su registro editado", [&](Caso& c) { cambiarByte(c.ruta(uno) + ".txt", 0); }, {"modificado: " + uno + ".txt"}},
        {"entrada editada", [](Caso& c) { auto l = c.lineas(); l[1].replace("patio", "pation"); c.lineasNuevas(l); },
         {"registro alterado en la entrada 2: no es la que encadenó la entrada 3"}},
        {"entrada ilegible", [](Caso& c) { auto l = c.lineas(); l[1] = "{\"formato\":1,"; c.lineasNuevas(l); },
         {"registro alterado en la entrada 2: no es una entrada legible"}},
        {"entrada quitada", [](Caso& c) { auto l = c.lineas(); l.removeAt(1); c.lineasNuevas(l); },
         {"registro alterado en la entrada 1: no es la que encadenó la entrada 2",
          "registro alterado: el informe de custodia cita 3 entradas y el registro tiene 2"}},
        {"última entrada quitada", [](Caso& c) { auto l = c.lineas(); l.removeAt(2); c.lineasNuevas(l); },
         {"registro alterado: el informe de custodia cita 3 entradas y el registro tiene 2"}},
        {"última línea rota, y un byte cambiado antes",
         [&](Caso& c) {
             escribirArchivo(c.ruta(kNombreRegistro), leerArchivo(c.ruta(kNombreRegistro)) + "{\"formato\":1,\"fich");
             cambiarByte(c.ruta(uno), 0);
         },
         {"entrada 4 incompleta: su escritura se interrumpió (las anteriores se comprueban igual)", "modificado: " + uno}},
        {"línea rota que la siguiente entrada reconoce",
         [](Caso& c) {
             escribirArchivo(c.ruta(kNombreRegistro), leerArchivo(c.ruta(kNombreRegistro)) + "{\"formato\":1,\"fich");
             EXPECT_EQ(c.anotar("camaras/USB/cuatro.mp4", QByteArray("4")), QString());
         },
         {"aviso: la entrada 4 quedó a medias al interrumpirse una escritura; la entrada 5 lo tiene en cuenta"}},
        {"nombres que salen de la carpeta, enlaces y otras cosas",
         [](Caso& c) {
             for (const char* n : {"../../etc/passwd", "/etc/passwd", "camaras//x", "camaras/cero", "camaras/tubo", "a\nb"})
                 EXPECT_EQ(c.anotar(QString::fromUtf8(n), std::nullopt), QString());
             ::symlink("/dev/zero", QFile::encodeName(c.ruta("camaras/cero")));
             ::mkfifo(QFile::encodeName(c.ruta("camaras/tubo")), 0600);
         },
         {"registro alterado en la entrada 4: nombra algo fuera de la carpeta del caso: ../../etc/passwd",
          "registro alterado en la entrada 5: nombra algo fuera de la carpeta del caso: /etc/passwd",
          "registro alterado en la entrada 6: nombra algo fuera de la carpeta del caso: camaras//x",
          "no es un fichero normal: camaras/cero (un enlace simbólico)", "falta: camaras/cero.txt",
          "no es un fichero normal: camaras/tubo", "falta: camaras/tubo.txt", "falta: a\\nb", "falta: a\\nb.txt"}},
        {"sin registro", [](Caso& c) { QFile::remove(c.ruta(kNombreRegistro)); }, {"no hay registro de custodia en esta carpeta"}},
    };
    for (const auto& caso : casos) {
        SCOPED_TRACE(caso.nombre);
        Caso c;
        caso.tocar(c);
        auto [estado, dichas] = c.verificar();
        const bool bien = caso.dichas.isEmpty() || caso.dichas[0].startsWith(QLatin1String("aviso"));
        EXPECT_EQ(estado, bien ? 0 : 1);
        const QString resumen = dichas.isEmpty() || caso.dichas.endsWith("no hay registro de custodia en esta carpeta")
            ? QString() : dichas.takeLast();
        EXPECT_EQ(dichas, caso.dichas) << resumen.toStdString();
        if (bien) {
            EXPECT_TRUE(resumen.startsWith(QLatin1String("todo coincide: "))) << resumen.toStdString();
        }
        EXPECT_TRUE(resumen.isEmpty() || resumen.endsWith(sha(c.lineas().value(c.lineas().size() - 2)))
                    || resumen.endsWith(sha(c.lineas().last())))
            << "the summary names the last line's hash: " << resumen.toStdString();
    }
}

TEST(RegistroCustodia, LineasQueVuelvenIgualesYEncadenadasConVariosEscritores)
{
    EntradaCustodia e;
    e.fichero = QStringLiteral("camaras/a\n\"b\"/caf") + QChar(0xDCE9) + QStringLiteral("\U0001F3A5\u0085.mp4");
    e.origen = QStringLiteral("</script>\t\\");
    e.desfaseRelojMs = -1500;
    e.canal = 3;
    e.sha256 = e.sha256Registro = e.anterior = kCadenaInicial;
    const QByteArray linea = lineaDeEntrada(e);
    EXPECT_FALSE(linea.contains('\n'));
    EXPECT_TRUE(linea.contains("\\udce9")) << linea.toStdString();
    const std::optional<EntradaCustodia> leida = entradaDeLinea(linea, nullptr);
    ASSERT_TRUE(leida);
    EXPECT_EQ(leida->fichero, e.fichero);
    EXPECT_EQ(leida->origen, e.origen);
    EXPECT_EQ(leida->desfaseRelojMs, e.desfaseRelojMs);
    EXPECT_EQ(leida->canal, 3);

    QTemporaryDir d;
    std::vector<std::thread> hilos;
    for (int h = 0; h < 4; ++h)
        hilos.emplace_back([&] {
            for (int i = 0; i < 20; ++i)
                EXPECT_EQ(anadirEntrada(d.path(), e), QString());
        });
    for (std::thread& h : hilos)
        h.join();
    Descriptor fd(::open(QFile::encodeName(d.filePath(kNombreRegistro)), O_RDONLY));
    QString previa = kCadenaInicial;
    int n = 0;
    leerLineas(fd, [&](const LineaRegistro& l) {
        const std::optional<EntradaCustodia> x = entradaDeLinea(l.texto, nullptr);
        EXPECT_TRUE(x && x->anterior == previa && l.terminada) << l.numero;
        previa = l.sha256;
        n = l.numero;
    });
    EXPECT_EQ(n, 80);

    // A write the disk cuts short leaves the register as it was.
    const QByteArray antes = leerArchivo(d.filePath(kNombreRegistro));
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit viejo{}, corto{rlim_t(antes.size() + 10), rlim_t(antes.size() + 10)};
    getrlimit(RLIMIT_FSIZE, &viejo);
    corto.rlim_max = viejo.rlim_max;
    setrlimit(RLIMIT_FSIZE, &corto);
    const QString fallo = anadirEntrada(d.path(), e);
    setrlimit(RLIMIT_FSIZE, &viejo);
    EXPECT_FALSE(fallo.isEmpty());
    EXPECT_EQ(leerArchivo(d.filePath(kNombreRegistro)), antes);
}

TEST(InformeCustodia, TextosEscapadosSinNadaDeFueraYNuncaATravesDeUnEnlace)
{
    QTemporaryDir d;
    EntradaCustodia e;
    e.fichero = QStringLiteral("camaras/<img src=x onerror=alert(1)>.mp4");
    e.origen = QStringLiteral("<script>alert('x')</script>");
    e.modelo = QStringLiteral("\"><a href=\"http://fuera\">");
    e.sha256 = e.sha256Registro = kCadenaInicial;
    ASSERT_EQ(anadirEntrada(d.path(), e), QString());
    const QString fuera = d.filePath(QStringLiteral("fuera.html"));
    ASSERT_TRUE(escribirArchivo(fuera, "no tocar"));
    ASSERT_EQ(::symlink(QFile::encodeName(fuera), QFile::encodeName(d.filePath(kNombreInforme))), 0);
    ASSERT_EQ(escribirInforme(d.path()), QString());
    EXPECT_EQ(leerArchivo(fuera), "no tocar");
    EXPECT_FALSE(QFileInfo(d.filePath(kNombreInforme)).isSymLink());
    const QByteArray html = leerArchivo(d.filePath(kNombreInforme));
    for (const char* nunca : {"<script", "<img", "<a ", "src=\"", "href=\"", "@import", "url("})
        EXPECT_FALSE(html.contains(nunca)) << nunca;
    EXPECT_TRUE(html.contains("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"));
    const std::optional<AnclaInforme> ancla = anclaDeInforme(html.left(4096));
    ASSERT_TRUE(ancla);
    EXPECT_EQ(ancla->lineas, 1);
    EXPECT_EQ(ancla->cadena, sha(leerArchivo(d.filePath(kNombreRegistro)).chopped(1)));
    EXPECT_EQ(QDir(d.path()).entryList(QDir::Hidden | QDir::Files).size(), 3) << "no temporary file left";

    EXPECT_EQ(correr({QStringLiteral("verificar")}).estado, 64);
    EXPECT_EQ(correr({QStringLiteral("verificar"), d.path(), d.path()}).estado, 64);
}

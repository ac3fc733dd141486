// An update of 20 000 files in 200 folders, published with the maker's tool and applied
// by the program as the player starts it, twice: over a small player, then over the
// 20 000 files the first one installed. Prints the wall time of each with the CPU time
// of the program and its children (tar) and the machine's load, and when the new player
// was in place ("aplicada" in the log; the previous files are removed after that); the
// goal is under 60 s on the 2-core machine. Then tar alone on the same package
// uncompressed, unpacked whole against unpacked by a list of every member's name (what
// the updater once did: tar holds each member against the whole list), twice. Arguments:
// files (default 20000), folders (200).
#include "apoyo/programa.h"
#include "medidas.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <random>

namespace {

struct Medida {
    int estado = -1;
    double segundos = 0, cpu = 0;
    double hastaLinea = -1; // when `linea` first appeared in the log, if asked
};

// Runs a program to its end; wall time and the CPU time it and its children used, and
// when the text `linea` first showed in the file `log`.
Medida medir(const QString& programa, const QStringList& args, const QProcessEnvironment& entorno = {},
             const QString& log = {}, const QByteArray& linea = {})
{
    QProcess p;
    if (!entorno.isEmpty())
        p.setProcessEnvironment(entorno);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    const double cpu = cpuHijos();
    QElapsedTimer t;
    t.start();
    p.start(programa, args);
    Medida m;
    while (!p.waitForFinished(50) && p.state() == QProcess::Running)
        if (m.hastaLinea < 0 && !linea.isEmpty() && leerArchivo(log).contains(linea))
            m.hastaLinea = t.elapsed() / 1000.0;
    if (p.exitStatus() == QProcess::NormalExit)
        m.estado = p.exitCode();
    m.segundos = t.elapsed() / 1000.0;
    m.cpu = cpuHijos() - cpu;
    return m;
}

void imprimir(const QString& que, const Medida& m)
{
    std::printf("%-52s %7.2f s (CPU %6.2f s) estado %d, carga %s\n", qPrintable(que), m.segundos, m.cpu,
                m.estado, qPrintable(cargaMedia()));
    if (m.hastaLinea >= 0)
        std::printf("%-52s %7.2f s\n", "  de ellos, hasta el programa nuevo en su sitio", m.hastaLinea);
    std::fflush(stdout);
}

// A player folder of `archivos` files of 1 to 8 KiB of noise (gzip cannot shrink them
// away) spread over `carpetas` folders.
bool hacerPrograma(const QString& app, int archivos, int carpetas)
{
    std::mt19937 azar(11);
    if (!escribirArchivo(app + QStringLiteral("/AppRun"), "#!/bin/sh\n")
        || !QFile::setPermissions(app + QStringLiteral("/AppRun"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return false;
    for (int i = 0; i < archivos; ++i) {
        QByteArray datos(qsizetype(1024 + azar() % 7168), '\0');
        for (char& c : datos)
            c = char(azar());
        if (!escribirArchivo(app + QStringLiteral("/usr/lib/m%1/f%2.so").arg(i % carpetas).arg(i), datos))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const int archivos = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int carpetas = argc > 2 ? std::atoi(argv[2]) : 200;
    QTemporaryDir t;
    const QString app = t.path() + QStringLiteral("/AppDir"), salida = t.path() + QStringLiteral("/publicado");
    const QString a = t.path() + QStringLiteral("/opt/ZorvPlayer"), datos = t.path() + QStringLiteral("/datos");
    if (archivos < 1 || carpetas < 1 || !hacerPrograma(app, archivos, carpetas)
        || !escribirArchivo(a + QStringLiteral("/AppRun"), "#!/bin/sh\n")) {
        std::fprintf(stderr, "no se pudo preparar el programa en %s\n", qPrintable(t.path()));
        return 1;
    }
    std::printf("%d archivos en %d carpetas, %d núcleos\n", archivos, carpetas, int(sysconf(_SC_NPROCESSORS_ONLN)));
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.insert(QStringLiteral("ZORV_APP"), a);
    for (const QString& version : {QStringLiteral("1.5"), QStringLiteral("2.0")}) {
        const Medida publicada = medir(QStringLiteral(ZORV_PUBLICAR),
                                       {app, version, QStringLiteral(ZORV_CLAVE), salida});
        imprimir(QStringLiteral("publicar ") + version, publicada);
        // Where "comprobar" leaves it: "aplicar" removes it once applied.
        const QString p = datos + QStringLiteral("/update/ZorvPlayer-") + version + QStringLiteral(".tar.gz");
        if (publicada.estado != 0 || !QDir().mkpath(datos + QStringLiteral("/update"))
            || !QFile::copy(salida + QStringLiteral("/ZorvPlayer-") + version + QStringLiteral(".tar.gz"), p)
            || !escribirArchivo(datos + QStringLiteral("/update/pendiente.json"),
                                QStringLiteral("{\"dmg\":\"%1\",\"version\":\"%2\"}").arg(p, version).toUtf8()))
            return 1;
        const bool primera = version == QLatin1String("1.5");
        const QString log = datos + QStringLiteral("/update/actualizador.log");
        const Medida aplicada = medir(rutaPrograma(),
                                      {QStringLiteral("actualizador"), QStringLiteral("aplicar"), QString(),
                                       primera ? QStringLiteral("1.0") : QStringLiteral("1.5"), datos},
                                      entorno, log, "aplicada " + version.toUtf8());
        imprimir(QStringLiteral("aplicar ") + version
                     + (primera ? QStringLiteral(" sobre un programa pequeño") : QStringLiteral(" sobre los archivos de 1.5")),
                 aplicada);
        if (aplicada.estado != 0) {
            std::fprintf(stderr, "%s", leerArchivo(log).constData());
            return 1;
        }
    }
    // tar alone, on the package already uncompressed so that gzip's time does not hide
    // it: the whole archive, then by a list of every member's name.
    const QString p = t.path() + QStringLiteral("/paquete.tar"), lista = t.path() + QStringLiteral("/lista");
    QProcess gzip;
    gzip.setStandardOutputFile(p);
    gzip.start(QStringLiteral("/usr/bin/gzip"), {QStringLiteral("-dc"), salida + QStringLiteral("/ZorvPlayer-2.0.tar.gz")});
    QProcess listar;
    if (!gzip.waitForFinished(-1))
        return 1;
    listar.start(QStringLiteral("/usr/bin/tar"), {QStringLiteral("-tf"), p});
    if (!listar.waitForFinished(-1))
        return 1;
    QByteArray nombres = listar.readAllStandardOutput();
    nombres.replace("/\n", "\n").replace('\n', '\0');
    if (!escribirArchivo(lista, nombres))
        return 1;
    for (int vez = 0; vez < 2; ++vez) {
        for (const bool porNombre : {false, true}) {
            const QString destino = t.path() + QStringLiteral("/tar-%1-%2").arg(vez).arg(porNombre);
            QStringList args = {QStringLiteral("-xf"), p, QStringLiteral("-C"), destino};
            if (porNombre)
                args << QStringLiteral("--no-wildcards") << QStringLiteral("--no-recursion") << QStringLiteral("--null")
                     << QStringLiteral("--verbatim-files-from") << QStringLiteral("-T") << lista;
            QDir().mkpath(destino);
            imprimir(porNombre ? QStringLiteral("tar: por la lista de los nombres de todos")
                               : QStringLiteral("tar: el archivo entero"),
                     medir(QStringLiteral("/usr/bin/tar"), args));
        }
    }
    return 0;
}

#include "apoyo/espacio_red.h"

#include <QProcess>

#include <atomic>
#include <fcntl.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

bool puedeCrearEspacios() { return geteuid() == 0; }

bool entrarEnEspacio(const QString& espacio) {
    const QByteArray ruta = (espacio.startsWith('/') ? QString() : QStringLiteral("/run/netns/")).toUtf8() + espacio.toUtf8();
    const int fd = open(ruta.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // Only this thread moves: the rest of the process stays where it was.
    const bool ok = setns(fd, CLONE_NEWNET) == 0;
    close(fd);
    return ok;
}

bool enEspacio(const QString& espacio, const std::function<void()>& f) {
    bool dentro = false;
    std::thread hilo([&] {
        if (!entrarEnEspacio(espacio)) return;
        dentro = true;
        f();
    });
    hilo.join();
    return dentro;
}

int orden(const QString& programa, const QStringList& args, int limiteMs, QString* salida) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(programa, args);
    if (!p.waitForStarted(5000)) return -1;
    if (!p.waitForFinished(limiteMs)) {
        p.kill();
        p.waitForFinished(2000);
        return -1;
    }
    if (salida) *salida = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

namespace {
std::atomic<int> siguiente{0};
}

QStringList EspacioRed::dentro(const QString& espacio, const QStringList& orden) {
    return QStringList{QStringLiteral("netns"), QStringLiteral("exec"), espacio} + orden;
}

bool EspacioRed::paso(const QStringList& args) {
    QString texto;
    if (orden(QStringLiteral("ip"), args, 20000, &texto) == 0) return true;
    fallo = QStringLiteral("ip ") + args.join(QLatin1Char(' ')) + QStringLiteral(": ") + texto;
    return false;
}

void EspacioRed::quitar() {
    // Deleting a namespace takes its end of the veth pair, and so the pair, with it.
    for (const QString& e : {cliente, servidor})
        orden(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("del"), e});
}

EspacioRed::EspacioRed(int red, int prefijo) : prefijo(prefijo) {
    const int n = siguiente++;
    const QString base = QStringLiteral("zorvt-%1-%2").arg(getpid()).arg(n);
    cliente = base + QStringLiteral("c");
    servidor = base + QStringLiteral("s");
    vethCliente = QStringLiteral("zc%1n%2").arg(getpid()).arg(n);
    vethServidor = QStringLiteral("zs%1n%2").arg(getpid()).arg(n);
    ipCliente = QStringLiteral("10.77.%1.1").arg(red);
    ipServidor = QStringLiteral("10.77.%1.2").arg(red);
    if (!puedeCrearEspacios() || prefijo < 24 || red < 0 || red > 255) {
        fallo = QStringLiteral("hace falta ser root y un prefijo /24 o más estrecho");
        return;
    }
    quitar();  // leftovers of an earlier run that died with the same name
    const QString mascara = QStringLiteral("/%1").arg(prefijo);
    bien = paso({QStringLiteral("netns"), QStringLiteral("add"), cliente}) &&
           paso({QStringLiteral("netns"), QStringLiteral("add"), servidor}) &&
           paso({QStringLiteral("link"), QStringLiteral("add"), vethCliente,
                 QStringLiteral("netns"), cliente, QStringLiteral("type"), QStringLiteral("veth"),
                 QStringLiteral("peer"), QStringLiteral("name"), vethServidor,
                 QStringLiteral("netns"), servidor});
    const std::pair<QString, QString> lados[] = {{cliente, vethCliente}, {servidor, vethServidor}};
    for (const auto& [esp, veth] : lados) {
        const QString ip = esp == cliente ? ipCliente : ipServidor;
        bien = bien &&
               paso({QStringLiteral("-n"), esp, QStringLiteral("link"), QStringLiteral("set"),
                     QStringLiteral("lo"), QStringLiteral("up")}) &&
               paso({QStringLiteral("-n"), esp, QStringLiteral("addr"), QStringLiteral("add"),
                     ip + mascara, QStringLiteral("dev"), veth}) &&
               paso({QStringLiteral("-n"), esp, QStringLiteral("link"), QStringLiteral("set"),
                     veth, QStringLiteral("up")}) &&
               paso({QStringLiteral("-n"), esp, QStringLiteral("route"), QStringLiteral("add"),
                     QStringLiteral("224.0.0.0/4"), QStringLiteral("dev"), veth});
    }
    if (!bien) quitar();
}

EspacioRed::~EspacioRed() { quitar(); }

bool EspacioRed::agregarDireccion(const QString& ip) {
    return bien && paso({QStringLiteral("-n"), servidor, QStringLiteral("addr"),
                         QStringLiteral("add"), ip + QStringLiteral("/%1").arg(prefijo),
                         QStringLiteral("dev"), vethServidor});
}

int escucharEn(const QString& espacio, const QString& ip, int puerto) {
    int fd = -1;
    enEspacio(espacio, [&] {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(puerto));
        inet_pton(AF_INET, ip.toLatin1().constData(), &a.sin_addr);
        if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 16) != 0) {
            close(fd);
            fd = -1;
        }
    });
    return fd;
}

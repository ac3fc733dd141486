#include "grabadores/dahua.h"

#include "comun/nombres.h"
#include "grabadores/ayudas.h"
#include "grabadores/canales.h"
#include "grabadores/descargas.h"
#include "grabadores/reanudar.h"
#include "grabadores/identificar.h"
#include "grabadores/listado.h"
#include "grabadores/reloj.h"

#include <QStringList>

namespace {

constexpr int POR_PAGINA = 100;
constexpr int MAXIMO = 5000;

// Dates travel in the device's local time: the PC's zone unless the device said another.
FormatoFecha formatoDahua(std::optional<int> zona) {
    const QString patron = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    return zona ? FormatoFecha::conDesfase(patron, *zona) : fmt(patron, false);
}

// Only ASCII letters and digits stay as they are: the space, colon and hyphen of a date
// become %20, %3A and %2D.
QString codificarFecha(const QDateTime& f, std::optional<int> zona) {
    QString res;
    for (const char c : formatoDahua(zona).texto(f).toUtf8()) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            res += QLatin1Char(c);
        else
            res += QStringLiteral("%%1").arg(uint(uchar(c)), 2, 16, QLatin1Char('0')).toUpper();
    }
    return res;
}

bool esDigito(QChar c) { return c >= u'0' && c <= u'9'; }
bool esPalabra(QChar c) {
    return esDigito(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
}

bool finDeLinea(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x0a && u <= 0x0d) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

QString sinEspacios(QStringView v) {
    qsizetype a = 0, b = v.size();
    while (a < b && (v[a] == u' ' || v[a] == u'\t')) ++a;
    while (b > a && (v[b - 1] == u' ' || v[b - 1] == u'\t')) --b;
    return v.mid(a, b - a).toString();
}

// One whole line of the form items[n].Clave=valor (the key of ASCII letters, digits and
// "_"); false for any other line. Read by hand: a regular expression per line would cost
// more than the rest of a page of 100 items.
bool leerLinea(QStringView l, qint64& n, QString& clave, QString& valor) {
    static const QLatin1String prefijo("items[");
    if (!l.startsWith(prefijo)) return false;
    qsizetype i = prefijo.size();
    const qsizetype d = i;
    while (i < l.size() && esDigito(l[i])) ++i;
    if (i == d || i + 1 >= l.size() || l[i] != u']' || l[i + 1] != u'.') return false;
    bool ok = false;
    n = l.mid(d, i - d).toLongLong(&ok);
    if (!ok) return false;  // a number too long for us names no item we can list
    i += 2;
    const qsizetype k = i;
    while (i < l.size() && esPalabra(l[i])) ++i;
    if (i == k || i >= l.size() || l[i] != u'=') return false;
    clave = l.mid(k, i - k).toString();
    valor = sinEspacios(l.mid(i + 1));
    return true;
}

QString extensionDe(const QString& ruta) {
    const QString nombre = ruta.mid(ruta.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype punto = nombre.lastIndexOf(QLatin1Char('.'));
    if (punto < 0 || punto == nombre.size() - 1) return QStringLiteral(".dav");
    return nombre.mid(punto);
}

}  // namespace

ItemsDahua leerItemsDahua(const QByteArray& respuesta) {
    // Bytes that are not UTF-8 stay as they came: a path holding them can still be asked for.
    const QString texto = textoDeBytes(respuesta);
    ItemsDahua items;
    qint64 n = 0;
    QString clave, valor;
    qsizetype inicio = 0;
    for (qsizetype i = 0; i <= texto.size(); ++i) {
        if (i < texto.size() && !finDeLinea(texto[i])) continue;
        if (i > inicio && leerLinea(QStringView(texto).mid(inicio, i - inicio), n, clave, valor))
            items[n][clave] = valor;
        inicio = i + 1;
    }
    return items;
}

QList<FicheroPtr> ficherosDahua(const ItemsDahua& items, const OrigenPtr& origen, std::optional<int> zona) {
    QList<FicheroPtr> res;
    const FormatoFecha formato = formatoDahua(zona);
    for (const auto& r : items) {
        const auto fecha = formato.fecha(r.value(QStringLiteral("StartTime")));
        const QString ruta = r.value(QStringLiteral("FilePath"));
        bool ok = false;
        const int64_t largo = r.value(QStringLiteral("Length")).toLongLong(&ok);
        // The extension is the device's own text: the name must still be one file name.
        res << std::make_shared<Fichero>(componenteSeguro(nombreFecha(fecha, extensionDe(ruta))),
                                         fecha, ok ? largo : 0, ruta, origen, ruta);
    }
    return res;
}

QString rutaCargaDahua(const QString& ruta) {
    QStringList partes = ruta.split(QLatin1Char('/'));
    for (QString& p : partes)
        p = QString::fromLatin1(bytesDeTexto(p).toPercentEncoding("!$&'()*+,;=:@"));
    return partes.join(QLatin1Char('/'));
}

namespace {

// One channel's files through a finder of its own, which is released at the end.
Listado buscarCanal(const OrigenPtr& origen, int canal, const QDateTime& inicio, const QDateTime& fin,
                    std::optional<int> zona) {
    const QString buscador = baseWeb(*origen) + QStringLiteral("/cgi-bin/mediaFileFind.cgi");
    auto pide = [&](const QString& consulta) {
        return pedir(*origen, buscador + QStringLiteral("?action=") + consulta, QStringLiteral("GET"),
                     std::nullopt, std::nullopt, {}, true);
    };
    // Releasing the finder is a courtesy to the device: its failure changes nothing here.
    auto soltar = [&](const QString& accion, const QString& objeto) {
        try {
            pide(accion + QStringLiteral("&object=") + objeto);
        } catch (const ErrorCamara&) {
        }
    };

    Listado l;
    const QString creado = pide(QStringLiteral("factory.create")).texto();
    const auto objeto = uno(creado, QStringLiteral("result=(\\d+)"));
    if (!objeto)
        throw ErrorCamara(QStringLiteral("la cámara no devolvió un buscador de ficheros: ") + creado);
    const QString buscar =
        QStringLiteral("findFile&object=") + *objeto + QStringLiteral("&condition.Channel=") +
        QString::number(canal) + QStringLiteral("&condition.StartTime=") + codificarFecha(inicio, zona) +
        QStringLiteral("&condition.EndTime=") + codificarFecha(fin, zona) +
        QStringLiteral("&condition.Types[0]=dav&condition.Types[1]=mp4");
    if (!pide(buscar).texto().contains(QLatin1String("OK"))) {
        // Nothing recorded in the period: the search never opened, so only destroy.
        soltar(QStringLiteral("destroy"), *objeto);
        return l;
    }
    for (int numero = 1;; ++numero) {
        ItemsDahua items;
        if (!pasoListado(l, QStringLiteral("la página %1").arg(numero), [&] {
                items = leerItemsDahua(pide(QStringLiteral("findNextFile&object=") + *objeto +
                                            QStringLiteral("&count=100"))
                                           .datos);
            }))
            break;
        l.ficheros << ficherosDahua(items, origen, zona);
        if (items.size() < POR_PAGINA || l.ficheros.size() >= MAXIMO) break;
    }
    soltar(QStringLiteral("close"), *objeto);
    soltar(QStringLiteral("destroy"), *objeto);
    return l;
}

}  // namespace

Listado listarDahua(const OrigenPtr& origen, const Consulta& consulta) {
    // Named, not bound: a structured binding cannot be captured by the search below.
    const auto fechas = consulta.fechas();
    const QDateTime inicio = fechas.first, fin = fechas.second;
    Listado l;
    const auto reloj = relojDahua(*origen);
    const std::optional<int> zona = reloj ? reloj->zona : std::nullopt;
    if (reloj) l.desfaseReloj = reloj->desfase;
    l.canales = canalesDahua(*origen);
    l.juntar(porCanales(canalesPedidos(l.canales, consulta.canal), consulta.simultaneas,
                        [&](const Canal& c) { return buscarCanal(origen, c.numero, inicio, fin, zona); },
                        consulta.avance));
    return l;
}

void descargarDahua(const Fichero& fichero, const QString& destino, const Progreso& progreso, Reanudacion* r) {
    // Straight into `destino`: the client removes it again unless a whole 200 arrived; an
    // error page or a transfer without length cut short must not pass for the recording.
    pedirFichero(*fichero.origen,
          baseWeb(*fichero.origen) + QStringLiteral("/cgi-bin/RPC_Loadfile") + rutaCargaDahua(fichero.dato),
          QStringLiteral("GET"), std::nullopt, destino, progreso, r);
    rechazarAviso(destino);
    exigirTamano(destino, fichero.tamano, r != nullptr);
}

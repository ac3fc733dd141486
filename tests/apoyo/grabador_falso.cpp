#include "apoyo/grabador_falso.h"

#include "apoyo/programa.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

namespace {

QString configuracion(const OpcionesGrabador& o) {
    QString c = QStringLiteral(
        "server.modules += (\"mod_dirlisting\")\n"
        "dir-listing.activate = \"enable\"\n"
        "cgi.assign += (\".py\" => \"/usr/bin/python3\")\n"
        "setenv.add-environment = (\"GRABADOR_DATOS\" => \"%CARPETA%/datos\")\n"
        "auth.backend = \"htdigest\"\n"
        "auth.backend.htdigest.userfile = \"%CARPETA%/usuarios\"\n"
        "auth.require = (\"\" => (\"method\" => \"digest\", \"realm\" => \"zorv\", "
        "\"require\" => \"valid-user\"))\n");
    QStringList reglas;
    if (o.familias.contains(QStringLiteral("hikvision")))
        reglas << QStringLiteral("\"^/ISAPI/(ContentMgmt/(search|download|InputProxy/channels)|System/(time|Video/inputs/channels))$\" => \"/hikvision.py\"");
    if (o.familias.contains(QStringLiteral("dahua")))
        reglas << QStringLiteral("\"^/cgi-bin/mediaFileFind\\.cgi(\\?.*)?$\" => \"/dahua.py$1\"")
               << QStringLiteral("\"^/cgi-bin/RPC_Loadfile/\" => \"/dahua.py\"")
               << QStringLiteral("\"^/cgi-bin/(global|configManager|magicBox|devVideoInput)\\.cgi(\\?.*)?$\" => \"/dahua.py$2\"");
    if (!reglas.isEmpty())
        c += QStringLiteral("url.rewrite-once = (") + reglas.join(QStringLiteral(", ")) +
             QStringLiteral(")\n");
    return c;
}

}  // namespace

GrabadorFalso::GrabadorFalso(OpcionesGrabador opciones) : op(std::move(opciones)) {
    OpcionesWeb w;
    w.direccion = op.direccion;
    w.puerto = op.puerto;
    w.espacio = op.espacio;
    w.extra = configuracion(op);
    w.extra += op.extra;
    web = std::make_unique<ServidorWeb>(w);
    escribirArchivo(web->carpeta() + QStringLiteral("/usuarios"),
                    ServidorWeb::lineaDigest(op.usuario, QStringLiteral("zorv"), op.clave).toUtf8() + '\n');
    QDir().mkpath(datos() + QStringLiteral("/grabaciones"));
    const QString fuentes = raizFuentes() + QStringLiteral("/tests/apoyo/grabadores_falsos/");
    QStringList scripts{QStringLiteral("comun.py")};
    for (const QString& f : {QStringLiteral("hikvision"), QStringLiteral("dahua")})
        if (op.familias.contains(f)) scripts << f + QStringLiteral(".py");
    for (const QString& s : scripts) QFile::copy(fuentes + s, web->raiz() + '/' + s);
    if (op.familias.contains(QStringLiteral("vstarcam"))) QDir().mkpath(web->raiz() + QStringLiteral("/sd"));
}

void GrabadorFalso::grabacion(const QString& nombre, const QByteArray& bytes, bool cortada) const {
    const QString ruta = datos() + QStringLiteral("/grabaciones/") + nombre;
    escribirArchivo(ruta, bytes);
    if (cortada) escribirArchivo(ruta + QStringLiteral(".cortar"), {});
    else QFile::remove(ruta + QStringLiteral(".cortar"));
}

void GrabadorFalso::fallos(const QString& nombre, const QList<int64_t>& cortes, bool rangos, const QString& otro) const {
    QJsonArray c;
    for (int64_t n : cortes) c << qint64(n);
    const QJsonObject o{{"cortes", c}, {"rangos", rangos}, {"otro", otro}};
    const QString ruta = datos() + QStringLiteral("/grabaciones/") + nombre;
    escribirArchivo(ruta + QStringLiteral(".fallos"), QJsonDocument(o).toJson());
    escribirArchivo(ruta + QStringLiteral(".veces"), {});  // the requests counted afresh
}

bool GrabadorFalso::grabacionHueca(const QString& nombre, qint64 tamano) const {
    QFile f(datos() + QStringLiteral("/grabaciones/") + nombre);
    return f.open(QIODevice::WriteOnly) && f.resize(tamano);
}

void GrabadorFalso::hikvision(const QList<ItemHikvision>& items, const std::optional<QList<Canal>>& proxy,
                              const std::optional<QList<Canal>>& entradas) const {
    QJsonArray a;
    for (const ItemHikvision& i : items) {
        QJsonObject o{{QStringLiteral("fichero"), i.fichero}};
        if (i.inicio) o[QStringLiteral("inicio")] = *i.inicio;
        if (i.fin) o[QStringLiteral("fin")] = *i.fin;
        if (i.uri) o[QStringLiteral("uri")] = *i.uri;
        o[QStringLiteral("canal")] = i.canal;
        a << o;
    }
    escribirArchivo(datos() + QStringLiteral("/hikvision.json"), QJsonDocument(a).toJson());
    QJsonObject canales;
    for (const auto& [clave, lista] : {std::pair{"proxy", proxy}, std::pair{"entradas", entradas}}) {
        QJsonArray l;
        for (const Canal& c : lista.value_or(QList<Canal>())) l << QJsonArray{c.numero, c.nombre};
        if (lista) canales[QLatin1String(clave)] = l;
    }
    escribirArchivo(datos() + QStringLiteral("/hikvision-canales.json"), QJsonDocument(canales).toJson());
}

void GrabadorFalso::dahua(const QList<ItemDahua>& items, const GuionDahua& guion) const {
    QJsonArray a;
    for (const ItemDahua& i : items) {
        QJsonObject o{{QStringLiteral("inicio"), i.inicio},
                      {QStringLiteral("fin"), i.fin},
                      {QStringLiteral("ruta"), i.ruta},
                      {QStringLiteral("fichero"), i.fichero},
                      {QStringLiteral("canal"), i.canal}};
        if (i.largo) o[QStringLiteral("largo")] = double(*i.largo);
        a << o;
    }
    const QJsonObject g{{QStringLiteral("items"), a},
                        {QStringLiteral("sinBuscador"), guion.sinBuscador},
                        {QStringLiteral("fallarEnPagina"), guion.fallarEnPagina},
                        {QStringLiteral("inverso"), guion.inverso},
                        {QStringLiteral("maxRemotas"), guion.maxRemotas}, {QStringLiteral("entradas"), guion.entradas},
                        {QStringLiteral("titulos"), QJsonArray::fromStringList(guion.titulos)}};
    escribirArchivo(datos() + QStringLiteral("/dahua.json"), QJsonDocument(g).toJson());
}

void GrabadorFalso::tarjeta(const QString& ruta, const QByteArray& bytes) const {
    web->poner(QStringLiteral("sd/") + ruta, bytes);
}

void GrabadorFalso::reloj(qint64 adelanto, int zona) const {
    escribirArchivo(datos() + "/reloj.json", QStringLiteral("{\"adelanto\": %1, \"zona\": %2}").arg(adelanto).arg(zona).toUtf8());
}
int GrabadorFalso::fallos() const {
    return int(leerArchivo(web->carpeta() + QStringLiteral("/error.log")).count("wrong password"));
}

QList<PeticionVista> GrabadorFalso::peticiones() const {
    QList<PeticionVista> res;
    for (const QByteArray& l : leerArchivo(datos() + QStringLiteral("/peticiones.jsonl")).split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(l).object();
        if (o.isEmpty()) continue;
        res << PeticionVista{o[QStringLiteral("metodo")].toString(), o[QStringLiteral("uri")].toString(),
                             o[QStringLiteral("cuerpo")].toString()};
    }
    return res;
}

QStringList GrabadorFalso::accionesDahua() const {
    QStringList res;
    const QString buscador = QStringLiteral("/cgi-bin/mediaFileFind.cgi?");
    for (const PeticionVista& p : peticiones())
        if (p.uri.startsWith(buscador))
            res << QUrlQuery(p.uri.mid(buscador.size())).queryItemValue(QStringLiteral("action"));
    return res;
}

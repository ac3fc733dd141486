// Finding sources and listing what they hold: the sweep, a folder chosen by hand, a
// device typed by address, and the listing of a network device for a period.
#include "camaras/camaras.h"
#include "camaras/listado_equipo.h"
#include "camaras/modelo_arbol.h"
#include "camaras/nombres.h"
#include "camaras/modelo_lista.h"

#include <QDir>
#include <QFileInfo>

namespace {

QList<NodoPtr> sinMarcadores(const QList<NodoPtr>& filas)
{
    QList<NodoPtr> quedan;
    for (const NodoPtr& n : filas)
        if (n->origen)
            quedan << n;
    return quedan;
}

} // namespace

void Camaras::buscarTodo()
{
    if (barrido)
        return;
    barrido = true;
    bBuscar->setEnabled(false);
    estado(QStringLiteral("Buscando cámaras en la red local…"));
    const Operaciones o = ops;
    fondo([this, o] {
        // Drives are read here too: a dead network mount can hang the call that asks
        // for its size, and the window must not hang with it.
        QList<NodoPtr> unidades;
        if (o.buscarUnidades)
            for (const OrigenPtr& u : o.buscarUnidades())
                unidades << Nodo::carpeta(u, o.tieneSubcarpetas);
        enVentana([this, unidades] {
            recargarArbol([&] {
                nUSB->hijos = unidades;
                if (unidades.isEmpty())
                    nUSB->hijos << std::make_shared<Nodo>(
                        QStringLiteral("(conecta un USB/tarjeta y «Buscar de nuevo», o «Abrir carpeta…»)"));
                nRED->hijos.clear();
            });
            expandir(nUSB);
            estado(QStringLiteral("Buscando cámaras en la red local…"));
        });
        const Progreso aviso = avisoProgreso([this](int p) {
            estado(QStringLiteral("Barriendo la red… ") + QString::number(p) + QStringLiteral(" %"));
        });
        const QList<OrigenPtr> equipos = o.buscarRed ? o.buscarRed(aviso) : QList<OrigenPtr>();
        enVentana([this, equipos] {
            recargarArbol([&] {
                nRED->hijos.clear();
                for (const OrigenPtr& e : equipos)
                    nRED->hijos << std::make_shared<Nodo>(textoFilaRed(*e), e);
                if (equipos.isEmpty())
                    nRED->hijos << std::make_shared<Nodo>(QStringLiteral("(ninguna cámara encontrada)"));
            });
            expandir(nUSB);
            barrido = false;
            bBuscar->setEnabled(!ocupado);
            int unidades = 0;
            for (const NodoPtr& n : nUSB->hijos)
                unidades += n->origen ? 1 : 0;
            estado(QString::number(unidades) + QStringLiteral(" dispositivos · ")
                   + QString::number(equipos.size()) + QStringLiteral(" equipos en red"));
        });
    });
}

void Camaras::abrirCarpeta()
{
    const std::optional<QString> elegida = pedirCarpeta ? pedirCarpeta() : std::nullopt;
    if (!elegida || elegida->isEmpty())
        return;
    const QString ruta = QDir::cleanPath(*elegida);
    QString ultimo = QFileInfo(ruta).fileName();
    if (ultimo.isEmpty())
        ultimo = ruta;
    auto origen = std::make_shared<Origen>(QStringLiteral("unidad"),
                                           ultimo + QStringLiteral("  (") + ruta + QLatin1Char(')'), ruta,
                                           QStringLiteral("carpeta elegida a mano"));
    const NodoPtr fila = Nodo::carpeta(origen, ops.tieneSubcarpetas);
    recargarArbol([&] { nUSB->hijos = sinMarcadores(nUSB->hijos) << fila; });
    expandir(nUSB);
    seleccionar(fila);
}

void Camaras::anadirIP()
{
    const std::optional<QString> escrito = pedirDireccion ? pedirDireccion() : std::nullopt;
    if (!escrito)
        return;
    const QString texto = escrito->trimmed();
    if (texto.isEmpty())
        return;
    const auto [direccion, puerto] = leerDireccion(texto);
    estado(QStringLiteral("Identificando ") + direccion + QStringLiteral("…"));
    const auto familia = ops.familia;
    fondo([this, familia, direccion, puerto] {
        const QString fam = familia ? familia(direccion, {puerto, 554}).first : QStringLiteral("desconocida");
        enVentana([this, fam, direccion, puerto] {
            auto origen = std::make_shared<Origen>(QStringLiteral("red"), direccion, direccion,
                                                   QStringLiteral("añadida a mano · ") + fam);
            origen->ip = direccion;
            origen->puertos = {puerto, 554, 21};
            origen->familia = fam;
            auto fila = std::make_shared<Nodo>(direccion + QStringLiteral("  ·  ") + fam, origen);
            recargarArbol([&] { nRED->hijos = sinMarcadores(nRED->hijos) << fila; });
            expandir(nRED);
            seleccionar(fila);
            estado(QString());
        });
    });
}

void Camaras::listarRed()
{
    if (!actual || actual->tipo != QLatin1String("red") || ocupado)
        return;
    const OrigenPtr origen = actual;
    origen->usuario = tU->text();
    origen->clave = clave();
    Consulta consulta = consultaElegida();
    consulta.simultaneas = simultaneas;
    const QString ip = origen->ip;
    consulta.avance = [this, ip](int hechos, int total) {
        if (total > 1)
            enVentana([this, ip, hechos, total] {
                estado(QStringLiteral("Consultando ") + ip + QStringLiteral("… ") + QString::number(hechos)
                       + QStringLiteral(" de ") + QString::number(total) + QStringLiteral(" canales"));
            });
    };
    estado(QStringLiteral("Identificando ") + origen->ip + QStringLiteral("…"));
    lCuenta->setText(QStringLiteral("Identificando la cámara…"));
    bloquear(true);
    // Read here, on the main thread, which alone writes it.
    const QString guardada = origen->familia;
    const Operaciones o = ops;
    fondo([this, o, origen, consulta, guardada] {
        const auto alIdentificar = [this, origen](const QString& identificada, const QString& modelo) {
            enVentana([this, origen, identificada, modelo] { mostrarIdentificacion(origen, identificada, modelo); });
        };
        ListadoEquipo r = listarEquipo(o, origen, consulta, guardada, alIdentificar);
        r.listado.ficheros = ordenarRecientes(r.listado.ficheros);
        enVentana([this, origen, r, consulta] {
            if (!r.familia.isEmpty())
                origen->familia = r.familia;
            if (!r.yaRechazadas) {
                origen->desfaseReloj = r.listado.desfaseReloj;
                if (!r.listado.canales.isEmpty())
                    origen->canales = r.listado.canales;
            }
            bloquear(false);
            // Shown only if the user is still looking at this device.
            if (actual == origen) {
                notaListado = notaIncompleto(r.listado);
                if (consulta.ventana)
                    notaListado += QStringLiteral(" · del ") + textoFechaHora(consulta.ventana->first)
                        + QStringLiteral(" al ") + textoFechaHora(consulta.ventana->second);
                hallados = r.listado.ficheros;
                canalListado = consulta.canal;
                rellenarCanales(origen, true);
                mostrarCanal();
                if (r.listado.ficheros.isEmpty())
                    lCuenta->setText(lineaSinGrabaciones(r));
            }
            estado(QString());
        });
    });
}

int Camaras::canalElegido() const { return cCanal->currentData().toInt(); }

Consulta Camaras::consultaElegida() const
{
    Consulta c(cPer->currentIndex() >= 0 ? cPer->currentText() : QStringLiteral("7 días"));
    if (cPer->currentData().toBool() && fechasElegidas)
        c.ventana = fechasElegidas;
    c.canal = canalElegido();
    return c;
}

void Camaras::elegirPeriodo(int indice)
{
    const int elegir = cPer->count() - 1;
    if (indice != elegir) {
        periodoPrevio = indice;
        return;
    }
    const QDateTime ahora = QDateTime::currentDateTime();
    const auto elegidas = pedirFechas ? pedirFechas(fechasElegidas.value_or(std::pair{ahora.addDays(-1), ahora}))
                                      : std::nullopt;
    if (!elegidas) {
        cPer->setCurrentIndex(periodoPrevio);
        return;
    }
    fechasElegidas = elegidas;
    // The dates chosen are an item of their own, before "Elegir fechas…"; its data marks it.
    if (!cPer->itemData(elegir - 1).toBool())
        cPer->insertItem(elegir, QStringLiteral("a medida"), true);
    const int item = cPer->count() - 2;
    const QString texto = QStringLiteral("del ") + textoFechaHora(elegidas->first) + QStringLiteral(" al ")
        + textoFechaHora(elegidas->second);
    cPer->setItemData(item, texto, Qt::ToolTipRole);
    cPer->setCurrentIndex(item);
    periodoPrevio = item;
    lCuenta->setText(QStringLiteral("Periodo elegido: ") + texto + QStringLiteral(". «Listar» busca en él."));
}

void Camaras::rellenarCanales(const OrigenPtr& origen, bool conservar)
{
    const int antes = conservar ? canalElegido() : 0;
    cCanal->clear();
    cCanal->addItem(QStringLiteral("Todos los canales"), 0);
    for (const Canal& c : origen->canales)
        cCanal->addItem(textoCanal(c.numero, c.nombre, QStringLiteral("Canal %1")), c.numero);
    cCanal->setCurrentIndex(std::max(0, cCanal->findData(antes)));
    pCanal->setVisible(origen->tipo == QLatin1String("red") && origen->canales.size() > 1);
}

void Camaras::mostrarCanal()
{
    const int canal = canalElegido();
    QList<FicheroPtr> vistos;
    if (canal == 0) {
        vistos = hallados;
    } else {
        for (const FicheroPtr& f : hallados)
            if (f->canal == canal)
                vistos << f;
    }
    pintarListaOrdenada(vistos);
    // The last listing did not search that channel: only "Listar" can.
    if (canalListado != 0 && canal != canalListado && !hallados.isEmpty())
        lCuenta->setText(QStringLiteral("El último listado fue solo del canal ") + QString::number(canalListado)
                         + QStringLiteral(": «Listar» busca en ") + (canal == 0 ? QStringLiteral("todos.") : QStringLiteral("este.")));
}

void Camaras::mostrarIdentificacion(const OrigenPtr& origen, const QString& identificada, const QString& modelo)
{
    if (identificada != QLatin1String("desconocida")) {
        origen->familia = identificada;
        modelos[origen] = modelo;
        QString det = origen->ip + QStringLiteral(" · ") + identificada;
        if (!modelo.isEmpty())
            det += QStringLiteral(" · ") + modelo;
        if (actual == origen)
            lDet->setText(det);
        for (const NodoPtr& n : nRED->hijos)
            if (n->origen == origen) {
                arbolModelo->cambiarTexto(n.get(), textoFilaRed(*origen));
                break;
            }
        if (actual == origen)
            pRtsp->show();
    }
    estado(QStringLiteral("Consultando ") + origen->ip + QStringLiteral("…"));
}

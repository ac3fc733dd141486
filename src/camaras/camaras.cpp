#include "camaras/camaras.h"

#include "camaras/custodia_camaras.h"
#include "camaras/dialogo_fechas.h"
#include "camaras/modelo_arbol.h"
#include "camaras/modelo_lista.h"
#include "camaras/nombres.h"
#include "comun/salida.h"
#include "estilo/alerta.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QMetaObject>
#include <QTimer>

Camaras::Camaras(QString b, QString c, QString f, Operaciones o)
    : base(std::move(b))
    , caso(std::move(c))
    , ffmpeg(std::move(f))
    , destino(destinoDe(base, caso))
    , ventana(std::make_unique<VentanaZORV>(QStringLiteral("Cámaras y dispositivos"), 1080, 680, true))
    , nUSB(std::make_shared<Nodo>(QStringLiteral("USB, tarjetas y dispositivos"), nullptr, true))
    , nRED(std::make_shared<Nodo>(QStringLiteral("Red local"), nullptr, true))
    , ops(std::move(o))
{
    // Sweep, listing and download may overlap (the sweep runs beside one job), and a
    // protocol routine blocks its thread for its whole run.
    cola.setMaxThreadCount(4);
    pedirCarpeta = [this]() -> std::optional<QString> {
        QFileDialog panel(ventana.get(), QStringLiteral("Elige la carpeta o unidad del dispositivo con los vídeos"));
        panel.setOption(QFileDialog::DontUseNativeDialog, true);
        panel.setFileMode(QFileDialog::Directory);
        panel.setOption(QFileDialog::ShowDirsOnly, true);
        panel.setLabelText(QFileDialog::Accept, QStringLiteral("Elegir"));
        panel.setLabelText(QFileDialog::Reject, QStringLiteral("Cancelar"));
        panel.setWindowFlag(Qt::WindowStaysOnTopHint, true);
        if (panel.exec() != QDialog::Accepted || panel.selectedFiles().isEmpty())
            return std::nullopt;
        return panel.selectedFiles().first();
    };
    pedirDireccion = []() -> std::optional<QString> {
        auto campo = std::make_unique<QLineEdit>();
        campo->setFixedSize(256, 24);
        campo->setPlaceholderText(QStringLiteral("192.168.1.64  o  192.168.1.64:8080"));
        const int b = alerta(QStringLiteral("Cámara por dirección IP"),
                             QStringLiteral("Escribe la IP (o IP:puerto) de la cámara o grabador."),
                             {QStringLiteral("Añadir"), QStringLiteral("Cancelar")}, EstiloAlerta::aviso,
                             campo.get(), campo.get());
        if (b != 0)
            return std::nullopt;
        return campo->text();
    };
    terminar = [](int e, const QString& salida) { salir(e, salida); };
    pedirFechas = pedirVentanaFechas;
    ventana->alCerrar = [this] { alCerrarVentana(); };
    montar();
}

Camaras::~Camaras()
{
    ventana->alCerrar = nullptr;
    ops.cierre.request_stop();
    esperarFondo();
}

void Camaras::esperarFondo() { cola.waitForDone(); }

// ---- the source tree ----

void Camaras::recargarArbol(const std::function<void()>& cambio)
{
    // A reset closes every row: the rows that were open and still exist open again, and
    // the row of the source on show stays chosen.
    QList<NodoPtr> abiertas;
    const std::function<void(const QList<NodoPtr>&)> recoger = [&](const QList<NodoPtr>& filas) {
        for (const NodoPtr& n : filas)
            if (n->expandible() && expandida(n)) {
                abiertas << n;
                recoger(n->hijos);
            }
    };
    recoger({nUSB, nRED});
    arbolModelo->recargar(cambio);
    for (const NodoPtr& n : abiertas)
        expandir(n);
    if (!actual)
        return;
    const std::function<NodoPtr(const QList<NodoPtr>&)> buscar = [&](const QList<NodoPtr>& filas) -> NodoPtr {
        for (const NodoPtr& n : filas) {
            if (n->origen == actual)
                return n;
            if (n->cargado)
                if (NodoPtr m = buscar(n->hijos))
                    return m;
        }
        return nullptr;
    };
    if (NodoPtr fila = buscar({nUSB, nRED}); fila && arbolModelo->indiceDe(fila.get()).isValid()) {
        restaurando = true;
        seleccionar(fila);
        restaurando = false;
    }
}

void Camaras::expandir(const NodoPtr& fila)
{
    const QModelIndex i = arbolModelo->indiceDe(fila.get());
    if (i.isValid())
        arbol->expand(i);
}

bool Camaras::expandida(const NodoPtr& fila) const
{
    const QModelIndex i = arbolModelo->indiceDe(fila.get());
    return i.isValid() && arbol->isExpanded(i);
}

void Camaras::seleccionar(const NodoPtr& fila)
{
    const QModelIndex i = arbolModelo->indiceDe(fila.get());
    if (i.isValid())
        arbol->selectionModel()->select(i, QItemSelectionModel::ClearAndSelect);
}

void Camaras::cargar(Nodo& fila)
{
    if (fila.cargado)
        return;
    fila.cargado = true;
    if (!fila.origen || !ops.subcarpetas)
        return;
    QList<NodoPtr> hijos;
    for (const OrigenPtr& o : ops.subcarpetas(fila.origen->ruta))
        hijos << Nodo::carpeta(o, ops.tieneSubcarpetas);
    fila.hijos = hijos;
}

void Camaras::seleccionCambiada()
{
    if (restaurando)
        return;
    const QModelIndexList elegidas = arbol->selectionModel()->selectedIndexes();
    if (elegidas.isEmpty())
        return;
    Nodo* fila = arbolModelo->nodo(elegidas.first());
    if (!fila || !fila->origen)
        return;
    mostrarOrigen(fila->origen);
    const QString& tipo = fila->origen->tipo;
    if ((tipo == QLatin1String("unidad") || tipo == QLatin1String("carpeta")) && fila->expandible()
        && !arbol->isExpanded(elegidas.first()))
        arbol->expand(elegidas.first());
}

void Camaras::dobleArbol(const QModelIndex& indice)
{
    Nodo* fila = arbolModelo->nodo(indice);
    if (!fila)
        return;
    if (fila->cabecera) {
        arbol->setExpanded(indice, !arbol->isExpanded(indice));
        return;
    }
    if (!fila->origen)
        return;
    if (fila->origen->tipo == QLatin1String("red")) {
        if (!ocupado)
            listarRed();
        return;
    }
    escanearOrigen(fila->origen);
}

// ---- the right side ----

void Camaras::mostrarOrigen(const OrigenPtr& origen)
{
    actual = origen;
    notaListado.clear();
    hallados.clear();
    canalListado = 0;
    ficheros.clear();
    recargarLista(true);
    cuenta();
    lTit->setText(origen->nombre);
    lDet->setText(origen->detalle);
    const bool red = origen->tipo == QLatin1String("red");
    pCred->setVisible(red);
    pRtsp->setVisible(red
                      && (origen->puertos.contains(554) || origen->familia == QLatin1String("onvif")
                          || origen->familia == QLatin1String("rtsp") || origen->canales.size() > 1));
    rellenarCanales(origen);
    if (red) {
        lCuenta->setText(lineaAyuda(origen->familia));
    } else {
        lCuenta->setText(QStringLiteral("Un clic abre sus subcarpetas; doble clic busca los vídeos de aquí."));
        estado(QString());
    }
}

void Camaras::escanearOrigen(const OrigenPtr& origen)
{
    if (origen->tipo == QLatin1String("red") || ocupado)
        return;
    ficheros.clear();
    hallados.clear();
    recargarLista(true);
    cuenta();
    estado(QStringLiteral("Buscando vídeos en ") + origen->nombre + QStringLiteral("…"));
    lCuenta->setText(QStringLiteral("Buscando vídeos…"));
    bloquear(true);
    const auto listarUnidad = ops.listarUnidad;
    fondo([this, origen, listarUnidad] {
        const QList<FicheroPtr> hallados =
            ordenarRecientes(listarUnidad ? listarUnidad(origen) : QList<FicheroPtr>());
        enVentana([this, origen, hallados, hay = bool(listarUnidad)] {
            bloquear(false);
            estado(QString());
            // The user may have moved on to another source meanwhile: its list stays its own.
            if (actual != origen)
                return;
            pintarListaOrdenada(hallados);
            if (!hay)
                lCuenta->setText(QStringLiteral("Buscar vídeos en unidades y carpetas aún no está disponible en esta versión."));
            else if (hallados.isEmpty())
                lCuenta->setText(QStringLiteral("No se han encontrado vídeos en este dispositivo."));
        });
    });
}

QString Camaras::clave() const
{
    return tPVer->isHidden() ? tP->text() : tPVer->text();
}

void Camaras::verClave(bool ver)
{
    if (ver) {
        tPVer->setText(tP->text());
        tPVer->show();
        tP->hide();
    } else {
        tP->setText(tPVer->text());
        tP->show();
        tPVer->hide();
    }
}

void Camaras::marcarTodos()
{
    for (const FicheroPtr& f : ficheros)
        if (!f->estado)
            f->marcado = true;
    recargarLista();
    cuenta();
}

void Camaras::temporalEnCurso(const QString& ruta)
{
    std::lock_guard<std::mutex> l(mTemporal);
    temporal = ruta;
}

void Camaras::detenerDirecto(bool avisar)
{
    std::unique_lock<std::mutex> l(mDirecto);
    paradaDirecto.request_stop();
    if (!grabando)
        return;
    l.unlock();
    if (avisar) {
        progreso(barra->value(), QStringLiteral("Terminando la grabación del directo…"));
        lProg->repaint();
    }
    l.lock();
    // ffmpeg is interrupted within half a second and killed a few seconds later if it
    // does not end, so this wait is short and bounded.
    finDirecto.wait(l, [this] { return !grabando; });
}

void Camaras::recogerAntesDeSalir(bool avisar)
{
    ops.cierre.request_stop();
    detenerDirecto(avisar);
    {
        std::lock_guard<std::mutex> l(mTemporal);
        if (!temporal.isEmpty())
            QFile::remove(temporal);
    }
    // What the jobs posted on their way out, the new paths among them.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    // A batch cut short never reached its own rewrite of the case's report.
    if (!descargados.isEmpty())
        informeTrasLote(carpetaCasoDe(base, caso));
}

void Camaras::alCerrarVentana()
{
    recogerAntesDeSalir(true);
    if (descargados.isEmpty())
        terminar(1, QString());
    else
        terminar(0, descargados.join(QLatin1Char('\n')));
}

QString Camaras::modeloDe(const OrigenPtr& origen) const
{
    const auto i = modelos.find(origen);
    return i == modelos.end() ? QString() : i->second;
}

// ---- status operations ----

void Camaras::bloquear(bool b)
{
    ocupado = b;
    // A button that goes off with the focus would hand it to the next control in the
    // chain, the live-recording seconds after "Listar": keys meant for nothing would
    // change the duration. The list is a harmless place for it meanwhile.
    if (const QWidget* foco = QApplication::focusWidget(); b && foco)
        for (const QWidget* boton : {bBuscar, bCarpeta, bIP, bListar, bGrabar, bTodos, bDesc})
            if (foco == boton)
                lista->setFocus(Qt::OtherFocusReason);
    for (BotonZORV* boton : {bCarpeta, bIP, bListar, bGrabar, bTodos})
        boton->setEnabled(!b);
    // The sweep keeps its own button off until it ends, whatever else finishes first.
    bBuscar->setEnabled(!b && !barrido);
    recargarLista();
    cuenta();
}

void Camaras::cuenta()
{
    int marcados = 0;
    for (const FicheroPtr& f : ficheros)
        marcados += f->marcado ? 1 : 0;
    bDesc->setText(QStringLiteral("Descargar marcados (") + QString::number(marcados) + QLatin1Char(')'));
    bDesc->setEnabled(marcados >= 1 && !ocupado);
    mostrarReintentar();
    // Narrowed to a channel, the line says of how many.
    const int canal = canalElegido();
    const QString parte = canal > 0 && !hallados.isEmpty() ? QStringLiteral("Canal ") + QString::number(canal)
            + QStringLiteral(": ") + QString::number(ficheros.size()) + QStringLiteral(" de ")
            + QString::number(hallados.size())
                                                           : QString::number(ficheros.size());
    lCuenta->setText(parte + QStringLiteral(" ficheros · ") + QString::number(marcados) + QStringLiteral(" marcados")
                     + notaListado);
}

void Camaras::mostrarReintentar()
{
    const bool hay = !ocupado && std::any_of(ficheros.begin(), ficheros.end(), [](const FicheroPtr& f) {
        return f->estado && f->estado->startsWith(QLatin1String("ERROR"));
    });
    bReintentar->setVisible(hay);
    // The lines beside it end before it rather than under it.
    const int maximo = hay ? std::max(0, bReintentar->x() - 12 - lDest->x()) : QWIDGETSIZE_MAX;
    for (QWidget* w : std::initializer_list<QWidget*>{lDest, lProg, barra})
        w->setMaximumWidth(maximo);
}

void Camaras::estado(const QString& texto) { lEstado->setText(texto); }

void Camaras::progreso(int porcentaje, const std::optional<QString>& texto)
{
    barra->setValue(std::clamp(porcentaje, 0, 100));
    barra->show();
    if (texto) {
        lProg->setText(*texto);
        lProg->show();
        lDest->hide();
    }
}

void Camaras::progresoFin()
{
    barra->hide();
    lProg->hide();
    lDest->show();
}

void Camaras::fondo(std::function<void()> trabajo)
{
    cola.start(std::move(trabajo));
}

void Camaras::enVentana(std::function<void()> trabajo)
{
    QMetaObject::invokeMethod(this, std::move(trabajo), Qt::QueuedConnection);
}

Progreso Camaras::avisoProgreso(std::function<void(int)> enPrincipal)
{
    auto ultimo = std::make_shared<std::atomic<int>>(-1);
    return [this, ultimo, enPrincipal = std::move(enPrincipal)](int p) {
        if (ultimo->exchange(p) == p)
            return;
        enVentana([enPrincipal, p] { enPrincipal(p); });
    };
}

void Camaras::pintarLista(const QList<FicheroPtr>& lista_)
{
    pintarListaOrdenada(ordenarRecientes(lista_));
}

void Camaras::pintarListaOrdenada(const QList<FicheroPtr>& lista_)
{
    ficheros = lista_;
    lista->setColumnHidden(ModeloLista::canal, !actual || actual->canales.size() < 2);
    recargarLista(true);
    cuenta();
    // The keys go on where the work does: Space marks the first recording, Return
    // downloads what is marked.
    if (!ficheros.isEmpty()) {
        lista->selectionModel()->setCurrentIndex(listaModelo->index(0, ModeloLista::x), QItemSelectionModel::NoUpdate);
        lista->setFocus(Qt::OtherFocusReason);
    }
}

void Camaras::recargarLista(bool nueva) { listaModelo->recargar(nueva); }

#include "camaras/modelo_arbol.h"

#include "estilo/color.h"
#include "estilo/etiqueta.h"

ModeloArbol::ModeloArbol(QList<NodoPtr> r, std::function<void(Nodo&)> c, QObject* padre)
    : QAbstractItemModel(padre)
    , raices(std::move(r))
    , cargar(std::move(c))
{
}

Nodo* ModeloArbol::nodo(const QModelIndex& i) const
{
    return i.isValid() ? static_cast<Nodo*>(i.internalPointer()) : nullptr;
}

const QList<NodoPtr>& ModeloArbol::hijosDe(const Nodo* n) const
{
    return n ? n->hijos : raices;
}

QModelIndex ModeloArbol::index(int fila, int columna, const QModelIndex& padre) const
{
    Nodo* p = nodo(padre);
    const QList<NodoPtr>& hijos = hijosDe(p);
    if (columna != 0 || fila < 0 || fila >= hijos.size())
        return {};
    Nodo* hijo = hijos[fila].get();
    padres.insert(hijo, p);
    return createIndex(fila, 0, hijo);
}

QModelIndex ModeloArbol::parent(const QModelIndex& indice) const
{
    Nodo* p = padres.value(nodo(indice));
    if (!p)
        return {};
    Nodo* abuelo = padres.value(p);
    const QList<NodoPtr>& hermanos = hijosDe(abuelo);
    for (int i = 0; i < hermanos.size(); ++i)
        if (hermanos[i].get() == p)
            return createIndex(i, 0, p);
    return {};
}

int ModeloArbol::rowCount(const QModelIndex& padre) const
{
    if (padre.column() > 0)
        return 0;
    return int(hijosDe(nodo(padre)).size());
}

int ModeloArbol::columnCount(const QModelIndex&) const { return 1; }

bool ModeloArbol::hasChildren(const QModelIndex& padre) const
{
    const Nodo* n = nodo(padre);
    return n ? n->expandible() : !raices.isEmpty();
}

bool ModeloArbol::canFetchMore(const QModelIndex& padre) const
{
    const Nodo* n = nodo(padre);
    return n && !n->cargado;
}

void ModeloArbol::fetchMore(const QModelIndex& padre)
{
    Nodo* n = nodo(padre);
    if (!n || n->cargado)
        return;
    // `cargar` fills the children itself; the view must hear of the rows as they arrive.
    cargar(*n);
    const QList<NodoPtr> nuevos = n->hijos;
    n->hijos.clear();
    if (!nuevos.isEmpty()) {
        beginInsertRows(padre, 0, int(nuevos.size()) - 1);
        n->hijos = nuevos;
        endInsertRows();
    }
    emit dataChanged(padre, padre);
}

QVariant ModeloArbol::data(const QModelIndex& indice, int rol) const
{
    const Nodo* n = nodo(indice);
    if (!n)
        return {};
    switch (rol) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return n->texto;
    case Qt::FontRole:
        if (n->cabecera)
            return fuenteSistema(12, QFont::DemiBold);
        return fuenteSistema(n->origen ? 13 : 11);
    case Qt::ForegroundRole:
        return n->origen && !n->cabecera ? QColor(Qt::white) : Color::lateralTexto;
    default:
        return {};
    }
}

Qt::ItemFlags ModeloArbol::flags(const QModelIndex& indice) const
{
    const Nodo* n = nodo(indice);
    if (!n)
        return Qt::NoItemFlags;
    return n->origen ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsEnabled;
}

QModelIndex ModeloArbol::buscar(const QModelIndex& desde, const Nodo* n) const
{
    const int filas = rowCount(desde);
    for (int i = 0; i < filas; ++i) {
        const QModelIndex hijo = index(i, 0, desde);
        if (nodo(hijo) == n)
            return hijo;
        if (const QModelIndex abajo = buscar(hijo, n); abajo.isValid())
            return abajo;
    }
    return {};
}

QModelIndex ModeloArbol::indiceDe(const Nodo* n) const
{
    return n ? buscar({}, n) : QModelIndex();
}

void ModeloArbol::recargar(const std::function<void()>& cambio)
{
    beginResetModel();
    if (cambio)
        cambio();
    padres.clear();
    endResetModel();
}

void ModeloArbol::cambiarTexto(Nodo* n, const QString& texto)
{
    n->texto = texto;
    if (const QModelIndex i = indiceDe(n); i.isValid())
        emit dataChanged(i, i, {Qt::DisplayRole, Qt::ToolTipRole});
}

#include "camaras/modelo_lista.h"

#include "comun/texto.h"
#include "estilo/color.h"
#include "estilo/etiqueta.h"
#include "camaras/nombres.h"
#include "grabadores/ayudas.h"

ModeloLista::ModeloLista(const QList<FicheroPtr>& f, const bool& o, std::function<void()> a,
                         QObject* padre)
    : QAbstractTableModel(padre)
    , ficheros(f)
    , ocupado(o)
    , alMarcar(std::move(a))
{
}

int ModeloLista::rowCount(const QModelIndex& padre) const
{
    return padre.isValid() ? 0 : filas;
}

int ModeloLista::columnCount(const QModelIndex& padre) const
{
    return padre.isValid() ? 0 : columnas;
}

QString textoCelda(const Fichero& f, int columna)
{
    switch (columna) {
    case ModeloLista::x:
        return {};
    case ModeloLista::nombre:
        return f.nombre;
    case ModeloLista::canal:
        return textoCanal(f.canal, f.nombreCanal);
    case ModeloLista::fecha: {
        static const FormatoFecha formato = fmt(QStringLiteral("dd/MM/yyyy HH:mm:ss"), false);
        return f.fecha ? formato.texto(*f.fecha) : QString();
    }
    case ModeloLista::tam:
        return f.tamano >= 1 ? tamanoLegible(f.tamano) : QString();
    default:
        return f.estado ? *f.estado : f.ruta;
    }
}

QVariant ModeloLista::data(const QModelIndex& i, int rol) const
{
    if (!i.isValid() || i.row() >= filas || i.row() >= ficheros.size())
        return {};
    const Fichero& f = *ficheros[i.row()];
    switch (rol) {
    case Qt::DisplayRole:
        return textoCelda(f, i.column());
    case Qt::ToolTipRole:
        return i.column() == x ? QVariant() : QVariant(textoCelda(f, i.column()));
    case Qt::CheckStateRole:
        if (i.column() != x)
            return {};
        return f.marcado ? Qt::Checked : Qt::Unchecked;
    case Qt::ForegroundRole:
        if (f.estado == QStringLiteral("descargado"))
            return Color::turquesaOscuro;
        if (f.estado && f.estado->startsWith(QLatin1String("ERROR")))
            return Color::rojo;
        return Color::tinta;
    case Qt::FontRole:
        return fuenteSistema(12);
    default:
        return {};
    }
}

bool ModeloLista::setData(const QModelIndex& i, const QVariant& valor, int rol)
{
    if (rol != Qt::CheckStateRole || i.column() != x || !(flags(i) & Qt::ItemIsEnabled))
        return false;
    ficheros[i.row()]->marcado = valor.toInt() == Qt::Checked;
    emit dataChanged(i, i, {Qt::CheckStateRole});
    if (alMarcar)
        alMarcar();
    return true;
}

Qt::ItemFlags ModeloLista::flags(const QModelIndex& i) const
{
    if (!i.isValid() || i.row() >= filas || i.row() >= ficheros.size())
        return Qt::NoItemFlags;
    if (i.column() != x)
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    // Done and failed recordings cannot be ticked again, nor anything while a job runs.
    const bool libre = !ficheros[i.row()]->estado && !ocupado;
    return Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | (libre ? Qt::ItemIsEnabled : Qt::NoItemFlags);
}

QVariant ModeloLista::headerData(int seccion, Qt::Orientation orientacion, int rol) const
{
    if (orientacion != Qt::Horizontal || rol != Qt::DisplayRole)
        return {};
    static const char* const titulos[] = {"", "Fichero", "Canal", "Fecha", "Tamaño", "Dónde"};
    return seccion >= 0 && seccion < columnas ? QString::fromUtf8(titulos[seccion]) : QVariant();
}

void ModeloLista::recargar(bool nueva)
{
    if (nueva || filas != ficheros.size()) {
        beginResetModel();
        filas = int(ficheros.size());
        endResetModel();
    } else if (filas > 0) {
        emit dataChanged(index(0, 0), index(filas - 1, columnas - 1));
    }
}

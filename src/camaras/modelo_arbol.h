#pragma once
// The source tree's rows for Qt's tree view: two headings and what hangs from them. A
// drive or folder row that is not loaded yet reads its sub-folders when the view first
// opens it (fetchMore), never before.
#include "camaras/nodo.h"

#include <QAbstractItemModel>
#include <QHash>
#include <functional>

class ModeloArbol : public QAbstractItemModel {
    Q_OBJECT
public:
    ModeloArbol(QList<NodoPtr> raices, std::function<void(Nodo&)> cargar, QObject* padre = nullptr);

    QModelIndex index(int fila, int columna, const QModelIndex& padre = {}) const override;
    QModelIndex parent(const QModelIndex& indice) const override;
    int rowCount(const QModelIndex& padre = {}) const override;
    int columnCount(const QModelIndex& padre = {}) const override;
    bool hasChildren(const QModelIndex& padre = {}) const override;
    bool canFetchMore(const QModelIndex& padre) const override;
    void fetchMore(const QModelIndex& padre) override;
    QVariant data(const QModelIndex& indice, int rol) const override;
    Qt::ItemFlags flags(const QModelIndex& indice) const override;

    Nodo* nodo(const QModelIndex& indice) const;
    // The index of a row shown in the tree (its parents loaded), or an invalid one.
    QModelIndex indiceDe(const Nodo* n) const;
    // Runs `cambio` (which may replace any row) inside a reset of the whole tree, so the
    // view never looks at rows that are gone.
    void recargar(const std::function<void()>& cambio = {});
    // A new text for a row, in place: its selection and the view's place stay as they were.
    void cambiarTexto(Nodo* n, const QString& texto);

private:
    const QList<NodoPtr>& hijosDe(const Nodo* n) const;
    QModelIndex buscar(const QModelIndex& desde, const Nodo* n) const;

    QList<NodoPtr> raices;
    std::function<void(Nodo&)> cargar;
    mutable QHash<const Nodo*, Nodo*> padres;
};

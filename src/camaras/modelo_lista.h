#pragma once
// The recordings list for Qt's table view: a tick, the name, the recorder's channel, the
// start time, the size and where the recording is (or what became of it), coloured by its
// state.
#include "grabadores/modelo.h"

#include <QAbstractTableModel>
#include <functional>

class ModeloLista : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Columna { x, nombre, canal, fecha, tam, ruta, columnas };

    ModeloLista(const QList<FicheroPtr>& ficheros, const bool& ocupado,
                std::function<void()> alMarcar, QObject* padre = nullptr);

    int rowCount(const QModelIndex& padre = {}) const override;
    int columnCount(const QModelIndex& padre = {}) const override;
    QVariant data(const QModelIndex& indice, int rol) const override;
    bool setData(const QModelIndex& indice, const QVariant& valor, int rol) override;
    Qt::ItemFlags flags(const QModelIndex& indice) const override;
    QVariant headerData(int seccion, Qt::Orientation orientacion, int rol) const override;

    // A new list: the view starts over. Otherwise only the rows' contents changed and the
    // view keeps its place and selection.
    void recargar(bool nueva);

private:
    const QList<FicheroPtr>& ficheros;
    const bool& ocupado;
    std::function<void()> alMarcar;
    int filas = 0;
};

// The text of one cell as the list shows it.
QString textoCelda(const Fichero& f, int columna);

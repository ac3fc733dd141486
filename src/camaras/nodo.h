#pragma once
// One row of the cameras window's source tree: a heading, a source, or a placeholder.
#include "grabadores/modelo.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

class Nodo;
using NodoPtr = std::shared_ptr<Nodo>;

class Nodo {
public:
    explicit Nodo(QString texto, OrigenPtr origen = {}, bool cabecera = false)
        : texto(std::move(texto)), origen(std::move(origen)), cabecera(cabecera) {}

    // The row of a drive or folder. One with visible sub-folders starts unloaded, so the
    // tree offers to open it and reads the sub-folders only when it is opened.
    static NodoPtr carpeta(const OrigenPtr& origen,
                           const std::function<bool(const QString&)>& tieneSubcarpetas);

    bool expandible() const { return cabecera || !cargado || !hijos.isEmpty(); }

    QString texto;  // changes only through the tree's model (an identification names the family)
    const OrigenPtr origen;  // absent for headings and placeholders
    const bool cabecera;
    QList<NodoPtr> hijos;
    bool cargado = true;
};

#pragma once
// The cameras window driven in-process over a scripted set of sources.
#include "apoyo/guion_camaras.h"
#include "camaras/camaras.h"
#include "camaras/modelo_arbol.h"
#include "camaras/modelo_lista.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QSemaphore>
#include <functional>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>

// Holds a background job at a point of its script until the test lets it go on.
struct Retencion {
    // What the script runs at that point.
    std::function<void()> punto()
    {
        return [this] {
            dentro.release();
            seguir.acquire();
        };
    }
    // Waits (turning the event loop) until a job is held there.
    bool llegada() { return QTest::qWaitFor([this] { return dentro.tryAcquire(); }, 10000); }
    void soltar(int n = 1) { seguir.release(n); }

    QSemaphore dentro, seguir;
};

// The SHA-256 of `b` as the records write it: 64 lower-case hex digits.
inline QString sha(const QByteArray& b)
{
    return QString::fromLatin1(QCryptographicHash::hash(b, QCryptographicHash::Sha256).toHex());
}

// Every file below `carpeta`, hidden ones included, as sorted relative paths.
inline QStringList todo(const QString& carpeta)
{
    QStringList r;
    QDirIterator it(carpeta, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        r << QDir(carpeta).relativeFilePath(it.next());
    r.sort();
    return r;
}

struct VentanaGuion {
    // `retocar` may take routines out of the table, as a build that lacks them would.
    explicit VentanaGuion(GuionCamaras& g, const std::function<void(Operaciones&)>& retocar = {},
                          const QString& caso = QStringLiteral("Robo 12"),
                          const QString& ffmpeg = QStringLiteral("/opt/z/bin/ffmpeg"))
    {
        base = dir.path() + QStringLiteral("/casos");
        Operaciones ops = g.operaciones();
        if (retocar)
            retocar(ops);
        c = std::make_unique<Camaras>(base, caso, ffmpeg, std::move(ops));
        c->terminar = [this](int estado, const QString& salida) { fin = std::make_pair(estado, salida); };
        c->pedirCarpeta = [this] { return carpeta; };
        c->pedirDireccion = [this] { return direccion; };
        c->ventana->mostrarDelante();
    }

    // Every background job has ended and what it posted has been shown.
    void asentar()
    {
        for (int i = 0; i < 4; ++i) {
            c->esperarFondo();
            QCoreApplication::processEvents();
        }
    }

    void barrer()
    {
        c->buscarTodo();
        asentar();
    }

    static QStringList textos(const NodoPtr& fila)
    {
        QStringList t;
        for (const NodoPtr& n : fila->hijos)
            t << n->texto;
        return t;
    }

    void elegir(const NodoPtr& n)
    {
        c->seleccionar(n);
        QCoreApplication::processEvents();
    }

    QModelIndex indice(const NodoPtr& n) const { return c->modeloArbol()->indiceDe(n.get()); }

    QStringList celdas(int columna) const
    {
        QStringList t;
        for (const FicheroPtr& f : c->ficheros)
            t << textoCelda(*f, columna);
        return t;
    }

    // Ticks the check box of a row as a click would.
    bool marcar(int fila, bool si = true)
    {
        return c->modeloLista()->setData(c->modeloLista()->index(fila, ModeloLista::x),
                                         si ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    }

    QTemporaryDir dir;
    QString base;
    std::unique_ptr<Camaras> c;
    std::optional<std::pair<int, QString>> fin;
    std::optional<QString> carpeta;
    std::optional<QString> direccion;
};

#pragma once
// Burst folders as the player writes them: "mini/" and "full/", each capture named by its
// number with six digits.
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

// A capture that can be told apart at a glance: its own colour and its number, drawn
// over `fondo` when one is given (a textured scene for realistic JPEG sizes).
QImage imagenCaptura(int numero, const QSize& tamano, const QImage& fondo = QImage());

// Writes the capture as "mini/NNNNNN.jpg" and gives "full/" the same picture (a hard
// link, so large bursts take the disk space of one). False when it could not.
bool escribirCaptura(const QString& carpeta, int numero, const QImage& imagen);

// A burst of the given capture numbers at `tamano`.
bool escribirRafaga(const QString& carpeta, const QList<int>& numeros,
                    const QSize& tamano = QSize(320, 180));
// A burst of captures 1 to `n` that are all the first one (hard links): a large burst in
// no time and the disk space of one picture.
bool escribirRafagaRepetida(const QString& carpeta, int n, const QSize& tamano = QSize(640, 360));

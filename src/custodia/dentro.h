#pragma once
// Opening what a register names, and nothing else: the register is a file anyone with
// access to the case can edit, so a name in it may point anywhere ("../../etc/shadow",
// "/dev/zero", a link planted in the folder). Names are relative to the case folder and
// are opened one component at a time below it, never through a symbolic link.
#include <QString>

// Relative, '/'-separated, no empty, "." or ".." component, no NUL.
bool rutaDelCaso(const QString& relativa);

// Opens `relativa` (already accepted by rutaDelCaso) below the folder open at `carpeta`
// for reading, without blocking on a FIFO. -1 with errno on failure: ELOOP when a
// component is a symbolic link.
int abrirDebajo(int carpeta, const QString& relativa);

#pragma once
#include "dialogos/modo_nueva.h"

// The notice for a key; `v` is the version text, or the message for an unknown key.
TextosAlerta textosAviso(const QString& clave, const QString& v);
[[noreturn]] void modoAviso(const QString& clave, const QString& v);

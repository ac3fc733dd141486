#pragma once
// Memory for XNNPACK and for the face network's tensors: big blocks on huge pages.
// Internal to the face detector.
#include <cstddef>
#include <memory>

// XNNPACK started, once for the process, with this memory; false where it cannot run.
bool xnnpackIniciado();

struct LiberarBloque {
    void operator()(float* p) const;
};
using BloqueFlotantes = std::unique_ptr<float, LiberarBloque>;

// `n` floats, left as they come, and the few past them that XNNPACK may read, zeroed.
BloqueFlotantes bloqueFlotantes(size_t n);

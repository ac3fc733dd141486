#include "analisis/memoria_xnnpack.h"

#include <xnnpack.h>
#include <malloc.h>
#include <sys/mman.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Blocks this big go on huge pages. A graph for a 1280×736 input holds about 70 MB of
// tensors and more of XNNPACK's own tables (pointers to each output pixel's inputs); on
// 4 KB pages, touching them first made building the graph take 0.7-0.8 s CPU on this
// virtual machine (a page fault every 14 µs), on huge pages 0.35 s. The kernel gives huge
// pages only where asked (transparent huge pages set to "madvise").
constexpr size_t kPaginaGrande = size_t(2) << 20;

void* reservar(void*, size_t alineacion, size_t tamano)
{
    const bool grande = tamano >= kPaginaGrande;
    void* p = nullptr;
    if (posix_memalign(&p, grande ? kPaginaGrande : std::max(alineacion, sizeof(void*)), tamano) != 0)
        return nullptr;
    if (grande)
        madvise(p, (tamano + kPaginaGrande - 1) / kPaginaGrande * kPaginaGrande, MADV_HUGEPAGE);
    return p;
}

void* reservarSinAlinear(void* contexto, size_t tamano)
{
    return reservar(contexto, alignof(std::max_align_t), tamano);
}

// XNNPACK grows its tables with this; big ones move to huge pages too.
void* cambiar(void* contexto, void* p, size_t tamano)
{
    if (tamano < kPaginaGrande)
        return std::realloc(p, tamano);
    void* nuevo = reservar(contexto, alignof(std::max_align_t), tamano);
    if (nuevo && p) {
        std::memcpy(nuevo, p, std::min(malloc_usable_size(p), tamano));
        std::free(p);
    }
    return nuevo;
}

void liberar(void*, void* p)
{
    std::free(p);
}

} // namespace

bool xnnpackIniciado()
{
    // Once for the process: it fills XNNPACK's tables of the kernels this CPU runs best.
    static const xnn_allocator asignador{nullptr, reservarSinAlinear, cambiar, liberar, reservar, liberar};
    static const bool iniciado = xnn_initialize(&asignador) == xnn_status_success;
    return iniciado;
}

void LiberarBloque::operator()(float* p) const
{
    std::free(p);
}

// `n` floats, left as they come, and the few past them that XNNPACK may read, zeroed.
BloqueFlotantes bloqueFlotantes(size_t n)
{
    constexpr size_t extra = XNN_EXTRA_BYTES / sizeof(float);
    BloqueFlotantes b(static_cast<float*>(reservar(nullptr, 64, (n + extra) * sizeof(float))));
    if (b)
        std::fill_n(b.get() + n, extra, 0.0f);
    return b;
}

// Preloaded into the updater in the tests to stand for file systems and crashes that a
// test cannot arrange otherwise. Every rule is read from the environment:
//   ZORV_INTERCEPTOR_SIN_INTERCAMBIO=1   swapping two paths fails with EINVAL, as on a
//                                        file system that cannot do it
//   ZORV_INTERCEPTOR_FALLA_HACIA=P       renaming anything onto P fails with EACCES
//   ZORV_INTERCEPTOR_NO_BORRAR=PREFIJO   removing a path that starts with it fails
//   ZORV_INTERCEPTOR_PAUSA=P             the first rename from or onto P creates the
//   ZORV_INTERCEPTOR_SENAL=F             file F and waits until someone removes it
//   ZORV_INTERCEPTOR_TRAZA=F             renames, removals and flushes are appended to F,
//                                        one line each: the call and its paths
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

const char* regla(const char* nombre)
{
    const char* v = std::getenv(nombre);
    return v && *v ? v : nullptr;
}

std::string deFd(int fd)
{
    char enlace[64], destino[4096];
    std::snprintf(enlace, sizeof enlace, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(enlace, destino, sizeof destino - 1);
    return n > 0 ? std::string(destino, static_cast<size_t>(n)) : std::string();
}

void anotar(const char* llamada, const std::string& a, const std::string& b = {})
{
    const char* traza = regla("ZORV_INTERCEPTOR_TRAZA");
    const int fd = traza ? open(traza, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644) : -1;
    if (fd < 0)
        return;
    const std::string linea = std::string(llamada) + " " + a + (b.empty() ? "" : " " + b) + "\n";
    [[maybe_unused]] const ssize_t n = write(fd, linea.data(), linea.size());
    close(fd);
}

std::string absoluta(int dir, const char* ruta)
{
    if (!ruta || ruta[0] == '/' || dir == AT_FDCWD) {
        if (ruta && ruta[0] != '/') {
            char cwd[4096];
            if (getcwd(cwd, sizeof cwd))
                return std::string(cwd) + "/" + ruta;
        }
        return ruta ? ruta : "";
    }
    const std::string carpeta = deFd(dir);
    return carpeta.empty() ? ruta : carpeta + "/" + ruta;
}

bool noBorrar(int dir, const char* ruta)
{
    anotar("unlink", absoluta(dir, ruta));
    const char* prefijo = regla("ZORV_INTERCEPTOR_NO_BORRAR");
    return prefijo && absoluta(dir, ruta).rfind(prefijo, 0) == 0;
}

void quizaPausar(const std::string& de, const std::string& a)
{
    static bool hecho = false;
    const char* ruta = regla("ZORV_INTERCEPTOR_PAUSA");
    const char* senal = regla("ZORV_INTERCEPTOR_SENAL");
    if (hecho || !ruta || !senal || (de != ruta && a != ruta))
        return;
    hecho = true;
    if (FILE* f = std::fopen(senal, "w"))
        std::fclose(f);
    for (int i = 0; i < 12000 && access(senal, F_OK) == 0; ++i)
        usleep(10000);
}

// Errno for a rename, or 0 to let it through.
int fallo(int dirDe, const char* de, int dirA, const char* a, unsigned flags)
{
    const std::string origen = absoluta(dirDe, de), destino = absoluta(dirA, a);
    anotar((flags & RENAME_EXCHANGE) ? "intercambio" : "rename", origen, destino);
    quizaPausar(origen, destino);
    if ((flags & RENAME_EXCHANGE) && regla("ZORV_INTERCEPTOR_SIN_INTERCAMBIO"))
        return EINVAL;
    const char* hacia = regla("ZORV_INTERCEPTOR_FALLA_HACIA");
    if (hacia && destino == hacia)
        return EACCES;
    return 0;
}

template <typename F>
F siguiente(const char* nombre)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, nombre));
}

} // namespace

extern "C" {

int rename(const char* de, const char* a) noexcept
{
    if (const int e = fallo(AT_FDCWD, de, AT_FDCWD, a, 0)) {
        errno = e;
        return -1;
    }
    return siguiente<int (*)(const char*, const char*)>("rename")(de, a);
}

int renameat(int dd, const char* de, int da, const char* a) noexcept
{
    if (const int e = fallo(dd, de, da, a, 0)) {
        errno = e;
        return -1;
    }
    return siguiente<int (*)(int, const char*, int, const char*)>("renameat")(dd, de, da, a);
}

int renameat2(int dd, const char* de, int da, const char* a, unsigned flags) noexcept
{
    if (const int e = fallo(dd, de, da, a, flags)) {
        errno = e;
        return -1;
    }
    return siguiente<int (*)(int, const char*, int, const char*, unsigned)>("renameat2")(
        dd, de, da, a, flags);
}

int unlink(const char* ruta) noexcept
{
    if (noBorrar(AT_FDCWD, ruta)) {
        errno = EACCES;
        return -1;
    }
    return siguiente<int (*)(const char*)>("unlink")(ruta);
}

int unlinkat(int dir, const char* ruta, int flags) noexcept
{
    if (noBorrar(dir, ruta)) {
        errno = EACCES;
        return -1;
    }
    return siguiente<int (*)(int, const char*, int)>("unlinkat")(dir, ruta, flags);
}

int rmdir(const char* ruta) noexcept
{
    if (noBorrar(AT_FDCWD, ruta)) {
        errno = EACCES;
        return -1;
    }
    return siguiente<int (*)(const char*)>("rmdir")(ruta);
}

int remove(const char* ruta) noexcept
{
    if (noBorrar(AT_FDCWD, ruta)) {
        errno = EACCES;
        return -1;
    }
    return siguiente<int (*)(const char*)>("remove")(ruta);
}

int fsync(int fd)
{
    anotar("fsync", deFd(fd));
    return siguiente<int (*)(int)>("fsync")(fd);
}

int syncfs(int fd) noexcept
{
    anotar("syncfs", deFd(fd));
    return siguiente<int (*)(int)>("syncfs")(fd);
}

} // extern "C"

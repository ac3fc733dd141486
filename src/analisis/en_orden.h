#pragma once
// Frames worked on by several threads and taken back one by one in their order: the
// analysis modes decode and look at frames on every core while their results, their
// progress file and their output keep the order a single pass would give.
#include <algorithm>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

// Runs `trabajo(i, hilo)` for i = 0 .. n-1 on `hilos` threads (hilo = 0 .. hilos-1, so each
// thread may keep tools of its own) and gives every result to `recibir(i, resultado)` on the
// calling thread, in order of i. Workers stay at most `adelanto` items ahead of what has
// been received, which bounds the results held in memory. When `recibir` returns false
// nothing more is received, no new item is started, and the call returns once the items
// under way are done. With one thread everything runs on the calling thread, one item at
// a time.
template <class R>
void enOrden(int n, int hilos, int adelanto, const std::function<R(int, int)>& trabajo,
             const std::function<bool(int, R&&)>& recibir)
{
    if (hilos <= 1) {
        for (int i = 0; i < n; ++i)
            if (!recibir(i, trabajo(i, 0)))
                return;
        return;
    }
    adelanto = std::max(adelanto, hilos);
    std::mutex m;
    std::condition_variable cambio;
    std::map<int, R> hechos;
    int siguiente = 0; // first item no worker has taken
    int recibido = 0;  // first item not yet received
    bool parar = false;
    const auto trabajar = [&](int hilo) {
        std::unique_lock<std::mutex> cerrojo(m);
        for (;;) {
            cambio.wait(cerrojo, [&] { return parar || siguiente >= n || siguiente < recibido + adelanto; });
            if (parar || siguiente >= n)
                return;
            const int i = siguiente++;
            cerrojo.unlock();
            R r = trabajo(i, hilo);
            cerrojo.lock();
            hechos.emplace(i, std::move(r));
            cambio.notify_all();
        }
    };
    std::vector<std::thread> trabajadores;
    for (int h = 0; h < hilos; ++h)
        trabajadores.emplace_back(trabajar, h);
    for (;;) {
        std::unique_lock<std::mutex> cerrojo(m);
        if (recibido >= n || parar)
            break;
        cambio.wait(cerrojo, [&] { return hechos.count(recibido) != 0; });
        const int i = recibido;
        R r = std::move(hechos.at(i));
        hechos.erase(i);
        cerrojo.unlock();
        const bool seguir = recibir(i, std::move(r));
        cerrojo.lock();
        ++recibido;
        parar = !seguir;
        cambio.notify_all();
    }
    for (std::thread& t : trabajadores)
        t.join();
}

// Dynamic strings against std::string, side by side in one run: copying a
// value, creating and freeing values of 8 to 1000 bytes (allocator cache off
// and on), appending in a loop, and two threads creating and freeing with
// their own caches against one. scripts/bench.sh runs the std::string side a
// second time with another malloc preloaded.
#include <benchmark/benchmark.h>
#include <pthread.h>

#include <string>

#include "strings/qsdstr.h"

namespace {

int gnUnThread = 0;
int gnMultiThread = 1;

// Cache off: no host flag. Cache on: one thread, the allocator's own cache.
struct CModeCache {
    explicit CModeCache(bool bCache) { GeneralParam(2006, bCache ? &gnUnThread : nullptr); }
    ~CModeCache() {
        CStrMemAlloc::s_pclCourant()->vSupprimeTout();
        GeneralParam(2006, nullptr);
    }
};

const std::string gsTexte(4096, 'q');

void BM_QsdCopie(benchmark::State& state) {
    CModeCache mode(false);
    CQSDSTR a(gsTexte.c_str(), static_cast<unsigned>(state.range(0)));
    for (auto _ : state) {
        CQSDSTR b(a);
        benchmark::DoNotOptimize(b.pGet());
    }
}
BENCHMARK(BM_QsdCopie)->Arg(16)->Arg(1000);

void BM_StdCopie(benchmark::State& state) {
    std::string a(gsTexte, 0, static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        std::string b(a);
        benchmark::DoNotOptimize(b.data());
    }
}
BENCHMARK(BM_StdCopie)->Arg(16)->Arg(1000);

void BM_QsdCreeLibere(benchmark::State& state) {
    CModeCache mode(state.range(1) != 0);
    const unsigned n = static_cast<unsigned>(state.range(0));
    for (auto _ : state) {
        CQSDSTR v(gsTexte.c_str(), n);
        benchmark::DoNotOptimize(v.pGet());
    }
}
BENCHMARK(BM_QsdCreeLibere)->ArgsProduct({{8, 15, 16, 100, 500, 1000}, {0, 1}})->ArgNames({"len", "cache"});

void BM_StdCreeLibere(benchmark::State& state) {
    const size_t n = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        std::string v(gsTexte.c_str(), n);
        benchmark::DoNotOptimize(v.data());
    }
}
BENCHMARK(BM_StdCreeLibere)->Arg(8)->Arg(15)->Arg(16)->Arg(100)->Arg(500)->Arg(1000)->ArgName("len");

const char gszMorceau[] = "fragment;";

void BM_QsdAjout(benchmark::State& state) {
    CModeCache mode(true);
    const long n = state.range(0);
    for (auto _ : state) {
        CQSDSTR s;
        for (long i = 0; i < n; ++i) s.nConcat(gszMorceau, 9);
        benchmark::DoNotOptimize(s.pGet());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_QsdAjout)->Arg(1000)->Arg(100000)->Arg(1000000);

void BM_StdAjout(benchmark::State& state) {
    const long n = state.range(0);
    for (auto _ : state) {
        std::string s;
        for (long i = 0; i < n; ++i) s.append(gszMorceau, 9);
        benchmark::DoNotOptimize(s.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_StdAjout)->Arg(1000)->Arg(100000)->Arg(1000000);

// Each thread has its own cache under the host's key, as a host sets it up.
pthread_key_t gCle;
pthread_once_t gUneFois = PTHREAD_ONCE_INIT;

void BM_QsdThreads(benchmark::State& state) {
    pthread_once(&gUneFois, [] {
        pthread_key_create(&gCle, nullptr);
        GeneralParam(2005, reinterpret_cast<void*>(static_cast<uintptr_t>(gCle)));
        GeneralParam(2006, &gnMultiThread);
    });
    CStrMemCache cache;
    pthread_setspecific(gCle, &cache);
    for (auto _ : state) {
        CQSDSTR v(gsTexte.c_str(), 100);
        CQSDSTR w(v);
        benchmark::DoNotOptimize(w.pGet());
    }
    pthread_setspecific(gCle, nullptr);
    cache.vSupprimeTout();
}
BENCHMARK(BM_QsdThreads)->Threads(1)->Threads(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

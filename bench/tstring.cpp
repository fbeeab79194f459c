// CTString::Add in a loop against std::string::append. Every CTString change
// resizes its block to the exact length, so the loop is quadratic in the worst
// case; the figure shows what it costs in practice.
#include <benchmark/benchmark.h>

#include <string>

#include "strings/Tstring.h"

namespace {

const char gszMorceau[] = "fragment;";

void BM_CTStringAdd(benchmark::State& state) {
    const long n = state.range(0);
    for (auto _ : state) {
        CTString s;
        for (long i = 0; i < n; ++i) s.Add(gszMorceau);
        benchmark::DoNotOptimize(s.pszGet());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_CTStringAdd)->Arg(100)->Arg(1000)->Arg(10000)->Arg(100000);

void BM_StdStringAppend(benchmark::State& state) {
    const long n = state.range(0);
    for (auto _ : state) {
        std::string s;
        for (long i = 0; i < n; ++i) s.append(gszMorceau);
        benchmark::DoNotOptimize(s.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_StdStringAppend)->Arg(100)->Arg(1000)->Arg(10000)->Arg(100000);

}  // namespace

BENCHMARK_MAIN();

// STR_nCompare in modes 0 (exact), 1 (case-insensitive) and 3 (case- and
// accent-insensitive) against strcmp and strcasecmp on the same pairs.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "strings/STR.h"

namespace {

// Pairs that agree on a long prefix, as sorted keys and paths do.
std::vector<std::pair<std::string, std::string>> Paires()
{
    std::vector<std::pair<std::string, std::string>> v;
    for (int i = 0; i < 64; ++i) {
        std::string s = "/usr/local/ORMELAN/lib/application_" + std::to_string(i) + "/Donnees/Fichier";
        std::string t = s;
        s += "_A" + std::to_string(i * 7);
        t += "_a" + std::to_string(i * 7 + (i & 1));
        v.emplace_back(s, t);
    }
    return v;
}

template <typename F> void Boucle(benchmark::State &state, F f)
{
    const auto v = Paires();
    size_t nOctets = 0;
    for (const auto &p : v)
        nOctets += p.first.size();
    for (auto _ : state) {
        int n = 0;
        for (const auto &p : v)
            n += f(p.first.c_str(), p.second.c_str());
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * nOctets));
}

void BM_STR_nCompare_0(benchmark::State &s) { Boucle(s, [](const char *a, const char *b) { return STR_nCompare(a, b, 0); }); }
void BM_strcmp(benchmark::State &s) { Boucle(s, [](const char *a, const char *b) { return strcmp(a, b); }); }
void BM_STR_nCompare_1(benchmark::State &s) { Boucle(s, [](const char *a, const char *b) { return STR_nCompare(a, b, 1); }); }
void BM_strcasecmp(benchmark::State &s) { Boucle(s, [](const char *a, const char *b) { return strcasecmp(a, b); }); }
void BM_STR_nCompare_3(benchmark::State &s) { Boucle(s, [](const char *a, const char *b) { return STR_nCompare(a, b, 3); }); }

} // namespace

BENCHMARK(BM_STR_nCompare_0);
BENCHMARK(BM_strcmp);
BENCHMARK(BM_STR_nCompare_1);
BENCHMARK(BM_strcasecmp);
BENCHMARK(BM_STR_nCompare_3);
BENCHMARK_MAIN();

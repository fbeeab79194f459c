// Hash table insertion and lookup of 10^6 integer keys against
// std::unordered_map; date validation with day numbers, layout and parsing
// against timegm, strftime and strptime on the same dates.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <unordered_map>
#include <vector>

#include "containers/CDatHeur.h"
#include "containers/hashtable.h"

namespace {

class CHashEntier : public CHashBase {
public:
    explicit CHashEntier(int n) : CHashBase(n) {}
    uint32_t dwCalculeHash(void *key) const override
    {
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(key));
    }
    bool bCompareCle(void *storedKey, void *key) const override { return storedKey == key; }
};

const int kCles = 1000000;

// Distinct keys in a scattered order, the same for both containers.
const std::vector<uintptr_t> &Cles()
{
    static const std::vector<uintptr_t> v = [] {
        std::vector<uintptr_t> w(kCles);
        uint32_t x = 12345;
        for (int i = 0; i < kCles; ++i) {
            x = x * 1664525u + 1013904223u;
            w[i] = (static_cast<uintptr_t>(i) << 8) ^ (x & 0xFF); // distinct: i in the high bits
        }
        return w;
    }();
    return v;
}

// Argument: the growth factor (3 is the default; 1 is the largest mean load
// of std::unordered_map).
void BM_HashInsertion_CHashBase(benchmark::State &state)
{
    const auto &v = Cles();
    for (auto _ : state) {
        CHashEntier t(43);
        t.SetNiveau(static_cast<int>(state.range(0)), 1);
        for (uintptr_t k : v)
            t.AjouteDYN(reinterpret_cast<void *>(k), reinterpret_cast<void *>(k + 1));
        benchmark::DoNotOptimize(t.nGetNbElement());
    }
    state.SetItemsProcessed(state.iterations() * kCles);
}

void BM_HashInsertion_unordered_map(benchmark::State &state)
{
    const auto &v = Cles();
    for (auto _ : state) {
        std::unordered_map<uintptr_t, uintptr_t> m;
        for (uintptr_t k : v)
            m.emplace(k, k + 1);
        benchmark::DoNotOptimize(m.size());
    }
    state.SetItemsProcessed(state.iterations() * kCles);
}

void BM_HashLookup_CHashBase(benchmark::State &state)
{
    const auto &v = Cles();
    CHashEntier t(43);
    t.SetNiveau(static_cast<int>(state.range(0)), 1);
    for (uintptr_t k : v)
        t.AjouteDYN(reinterpret_cast<void *>(k), reinterpret_cast<void *>(k + 1));
    for (auto _ : state) {
        uintptr_t n = 0;
        for (size_t i = 0; i < v.size(); i += 1) {
            void *p = nullptr;
            t.bRecherche(reinterpret_cast<void *>(v[(i * 7919) % v.size()]), &p, nullptr);
            n += reinterpret_cast<uintptr_t>(p);
        }
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * kCles);
}

void BM_HashLookup_unordered_map(benchmark::State &state)
{
    const auto &v = Cles();
    std::unordered_map<uintptr_t, uintptr_t> m;
    for (uintptr_t k : v)
        m.emplace(k, k + 1);
    for (auto _ : state) {
        uintptr_t n = 0;
        for (size_t i = 0; i < v.size(); i += 1) {
            auto it = m.find(v[(i * 7919) % v.size()]);
            n += it == m.end() ? 0 : it->second;
        }
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * kCles);
}

// 4096 dates spread over 1902..2037 (inside every time_t) with their texts.
struct stDATES {
    std::vector<std::string> tabNumerique, tabTexte;
    std::vector<struct tm> tabTm;
};

const stDATES &Dates()
{
    static const stDATES st = [] {
        stDATES s;
        uint32_t x = 99;
        for (int i = 0; i < 4096; ++i) {
            x = x * 1664525u + 1013904223u;
            const int y = 1902 + static_cast<int>(x % 136), m = 1 + static_cast<int>((x >> 8) % 12),
                      d = 1 + static_cast<int>((x >> 16) % 28);
            char sz[32];
            snprintf(sz, sizeof sz, "%04d%02d%02d", y, m, d);
            s.tabNumerique.push_back(sz);
            snprintf(sz, sizeof sz, "%02d/%02d/%04d", d, m, y);
            s.tabTexte.push_back(sz);
            struct tm t = {};
            t.tm_year = y - 1900;
            t.tm_mon = m - 1;
            t.tm_mday = d;
            s.tabTm.push_back(t);
        }
        return s;
    }();
    return st;
}

void BM_DateValidation_bNbJour(benchmark::State &state)
{
    const auto &d = Dates();
    for (auto _ : state) {
        long n = 0;
        for (const auto &s : d.tabNumerique) {
            long j;
            n += bNbJour(s.c_str(), &j) ? j : 0;
        }
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * d.tabNumerique.size());
}

void BM_DateValidation_timegm(benchmark::State &state)
{
    const auto &d = Dates();
    std::vector<struct tm> tab = d.tabTm;
    for (auto _ : state) {
        long long n = 0;
        for (auto &t : tab)
            n += timegm(&t) / 86400;
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * tab.size());
}

void BM_DateLayout_bDateVersChaine(benchmark::State &state)
{
    const auto &d = Dates();
    char sz[32];
    for (auto _ : state) {
        size_t n = 0;
        for (const auto &s : d.tabNumerique) {
            bDateVersChaine(s.c_str(), "JJ/MM/AAAA", sz);
            n += static_cast<unsigned char>(sz[0]);
        }
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * d.tabNumerique.size());
}

void BM_DateLayout_strftime(benchmark::State &state)
{
    const auto &d = Dates();
    char sz[32];
    for (auto _ : state) {
        size_t n = 0;
        for (const auto &t : d.tabTm) {
            strftime(sz, sizeof sz, "%d/%m/%Y", &t);
            n += static_cast<unsigned char>(sz[0]);
        }
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * d.tabTm.size());
}

void BM_DateParse_bChaineVersDate(benchmark::State &state)
{
    const auto &d = Dates();
    char sz[9];
    for (auto _ : state) {
        size_t n = 0;
        for (const auto &s : d.tabTexte) {
            bChaineVersDate(s.c_str(), "JJ/MM/AAAA", sz);
            n += static_cast<unsigned char>(sz[7]);
        }
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * d.tabTexte.size());
}

void BM_DateParse_strptime(benchmark::State &state)
{
    const auto &d = Dates();
    for (auto _ : state) {
        size_t n = 0;
        for (const auto &s : d.tabTexte) {
            struct tm t = {};
            strptime(s.c_str(), "%d/%m/%Y", &t);
            n += static_cast<size_t>(t.tm_mday);
        }
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * d.tabTexte.size());
}

} // namespace

BENCHMARK(BM_HashInsertion_CHashBase)->Arg(3)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HashInsertion_unordered_map)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HashLookup_CHashBase)->Arg(3)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HashLookup_unordered_map)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DateValidation_bNbJour);
BENCHMARK(BM_DateValidation_timegm);
BENCHMARK(BM_DateLayout_bDateVersChaine);
BENCHMARK(BM_DateLayout_strftime);
BENCHMARK(BM_DateParse_bChaineVersDate);
BENCHMARK(BM_DateParse_strptime);
BENCHMARK_MAIN();

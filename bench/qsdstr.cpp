// Dynamic strings against std::string, side by side in one run: copying a
// value, creating and freeing values of 8 to 1000 bytes (allocator cache off
// and on), appending in a loop, and two threads creating and freeing with
// their own caches against one. scripts/bench.sh runs the std::string side a
// second time with another malloc preloaded.
//
// The whole set runs --qsd_rounds times (default 5), each pair one after the
// other in every round, so that both sides see the same load; a summary then
// gives per pair the median CPU times, their ratio and the spread of the
// per-round ratios, against the goals.
//
// --qsd_count=OP,LEN,CACHE,N runs N operations alone without timing, for
// instruction counts (bench/qsdstr_instr.sh runs it under callgrind). OP is
// create, copy, std_create or std_copy; CACHE 0 (none), 1 (one-thread cache)
// or 2 (per-thread cache under a host key).
#include <benchmark/benchmark.h>
#include <pthread.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "strings/qsdstr.h"

namespace {

int gnUnThread = 0;
int gnMultiThread = 1;

// Each thread has its own cache under the host's key, as a host sets it up.
pthread_key_t gCle;
pthread_once_t gUneFois = PTHREAD_ONCE_INIT;

void CreeCle() {
    pthread_key_create(&gCle, nullptr);
    GeneralParam(2005, reinterpret_cast<void*>(static_cast<uintptr_t>(gCle)));
}

// 0: no host flag, no cache. 1: one thread, the allocator's own cache. 2:
// threads declared, this thread's cache under the host key.
struct CModeCache {
    explicit CModeCache(int nMode) {
        if (nMode == 2) {
            pthread_once(&gUneFois, CreeCle);
            pthread_setspecific(gCle, &m_cache);
        }
        GeneralParam(2006, nMode == 0 ? nullptr : nMode == 1 ? &gnUnThread : &gnMultiThread);
    }
    ~CModeCache() {
        CStrMemAlloc::s_pclCourant()->vSupprimeTout();
        GeneralParam(2006, nullptr);
        if (gbTLSOk) pthread_setspecific(gCle, nullptr);
        m_cache.vSupprimeTout();
    }
    CStrMemCache m_cache;
};

const std::string gsTexte(4096, 'q');

inline void QsdCree(unsigned n) {
    CQSDSTR v(gsTexte.c_str(), n);
    benchmark::DoNotOptimize(v.pGet());
}
inline void StdCree(size_t n) {
    std::string v(gsTexte.c_str(), n);
    benchmark::DoNotOptimize(v.data());
}
inline void QsdCopie(const CQSDSTR& a) {
    CQSDSTR b(a);
    benchmark::DoNotOptimize(b.pGet());
}
inline void StdCopie(const std::string& a) {
    std::string b(a);
    benchmark::DoNotOptimize(b.data());
}

void BM_QsdCopie(benchmark::State& state) {
    CModeCache mode(0);
    CQSDSTR a(gsTexte.c_str(), static_cast<unsigned>(state.range(0)));
    for (auto _ : state) QsdCopie(a);
}

void BM_StdCopie(benchmark::State& state) {
    std::string a(gsTexte, 0, static_cast<size_t>(state.range(0)));
    for (auto _ : state) StdCopie(a);
}

// The floor of a counted copy on this machine: the increment and decrement of a
// word in memory that a copy and its release make, with the same barrier the
// copy's loop has between them. A goal in nanoseconds moves with the machine; the
// ratio to this does not.
void BM_PlancherCopie(benchmark::State& state) {
    alignas(64) static int s_nCompte = 1;
    int* p = &s_nCompte;
    for (auto _ : state) {
        benchmark::DoNotOptimize(p);
        ++*p;
        benchmark::ClobberMemory();
        if (--*p == 0) benchmark::DoNotOptimize(p);
    }
}

void BM_QsdCreeLibere(benchmark::State& state) {
    CModeCache mode(static_cast<int>(state.range(1)));
    const unsigned n = static_cast<unsigned>(state.range(0));
    for (auto _ : state) QsdCree(n);
}

void BM_StdCreeLibere(benchmark::State& state) {
    const size_t n = static_cast<size_t>(state.range(0));
    for (auto _ : state) StdCree(n);
}

const char gszMorceau[] = "fragment;";

void BM_QsdAjout(benchmark::State& state) {
    CModeCache mode(1);
    const long n = state.range(0);
    for (auto _ : state) {
        CQSDSTR s;
        for (long i = 0; i < n; ++i) s.nConcat(gszMorceau, 9);
        benchmark::DoNotOptimize(s.pGet());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_StdAjout(benchmark::State& state) {
    const long n = state.range(0);
    for (auto _ : state) {
        std::string s;
        for (long i = 0; i < n; ++i) s.append(gszMorceau, 9);
        benchmark::DoNotOptimize(s.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_QsdThreads(benchmark::State& state) {
    pthread_once(&gUneFois, CreeCle);
    GeneralParam(2006, &gnMultiThread);
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

const int gtabLongueurs[] = {8, 15, 16, 100, 500, 1000};

// Pairs next to each other, so that a round measures both sides together.
void Enregistre() {
    for (int n : gtabLongueurs) {
        for (int c = 0; c < 3; ++c)
            benchmark::RegisterBenchmark("BM_QsdCreeLibere", BM_QsdCreeLibere)->Args({n, c})->ArgNames({"len", "cache"});
        benchmark::RegisterBenchmark("BM_StdCreeLibere", BM_StdCreeLibere)->Arg(n)->ArgName("len");
    }
    for (int n : {16, 1000}) {
        benchmark::RegisterBenchmark("BM_QsdCopie", BM_QsdCopie)->Arg(n);
        benchmark::RegisterBenchmark("BM_StdCopie", BM_StdCopie)->Arg(n);
    }
    benchmark::RegisterBenchmark("BM_PlancherCopie", BM_PlancherCopie);
    for (int n : {1000, 100000, 1000000}) {
        benchmark::RegisterBenchmark("BM_QsdAjout", BM_QsdAjout)->Arg(n);
        benchmark::RegisterBenchmark("BM_StdAjout", BM_StdAjout)->Arg(n);
    }
    benchmark::RegisterBenchmark("BM_QsdThreads", BM_QsdThreads)->Threads(1)->Threads(2)->UseRealTime();
}

// Keeps every run's CPU time per iteration (ns) by name, and shows the runs.
class CCollecte : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && !r.error_occurred)
                m_mapTemps[r.benchmark_name()].push_back(r.GetAdjustedCPUTime());
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, std::vector<double>> m_mapTemps;
};

double Mediane(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// One line of the summary: medians of both sides, ratio of the medians, and
// the lowest and highest ratio of a single round.
void Ligne(const CCollecte& c, const char* pszQuoi, const std::string& sQsd, const std::string& sStd,
           double dObjectif) {
    auto iQ = c.m_mapTemps.find(sQsd), iS = c.m_mapTemps.find(sStd);
    if (iQ == c.m_mapTemps.end() || iS == c.m_mapTemps.end()) return;
    const std::vector<double>&q = iQ->second, &s = iS->second;
    double dMin = 1e300, dMax = 0;
    for (size_t i = 0; i < q.size() && i < s.size(); ++i) {
        double r = s[i] > 0 ? q[i] / s[i] : 0;
        dMin = std::min(dMin, r);
        dMax = std::max(dMax, r);
    }
    double mq = Mediane(q), ms = Mediane(s), r = ms > 0 ? mq / ms : 0;
    char szObjectif[32] = "";
    if (dObjectif > 0) snprintf(szObjectif, sizeof(szObjectif), "<= %.1f %s", dObjectif, r <= dObjectif ? "met" : "MISSED");
    printf("%-34s %9.2f %9.2f %7.2f  %5.2f-%-5.2f  %s\n", pszQuoi, mq, ms, r, dMin, dMax, szObjectif);
}

void Resume(const CCollecte& c, int nTours) {
    printf("\nDynamic strings against std::string: CPU ns per operation, medians of %d rounds\n", nTours);
    printf("%-34s %9s %9s %7s  %-11s  %s\n", "operation", "qsdstr", "std", "ratio", "round range", "goal");
    printf("(the count's floor, in place of std: an increment and a decrement of a word in memory)\n");
    static const char* const tabCache[] = {"no cache", "cache", "thread cache"};
    for (int m = 0; m < 3; ++m) {
        for (int n : gtabLongueurs) {
            char szQuoi[64], szQ[64], szS[64];
            snprintf(szQuoi, sizeof(szQuoi), "create+free %4d B, %s", n, tabCache[m]);
            snprintf(szQ, sizeof(szQ), "BM_QsdCreeLibere/len:%d/cache:%d", n, m);
            snprintf(szS, sizeof(szS), "BM_StdCreeLibere/len:%d", n);
            double dObjectif = n <= 15 ? (m == 1 ? 3.0 : 0) : m == 1 ? 0.6 : m == 0 ? 1.0 : 0;
            Ligne(c, szQuoi, szQ, szS, dObjectif);
        }
    }
    for (int n : {16, 1000}) {
        char szQuoi[64];
        snprintf(szQuoi, sizeof(szQuoi), "copy %4d B", n);
        Ligne(c, szQuoi, "BM_QsdCopie/" + std::to_string(n), "BM_StdCopie/" + std::to_string(n), 0);
        auto i = c.m_mapTemps.find("BM_QsdCopie/" + std::to_string(n));
        if (i != c.m_mapTemps.end()) {
            double m = Mediane(i->second);
            printf("%-34s %9.2f %9s %7s  %-11s  <= 2 ns %s\n", "  copy alone", m, "", "", "", m <= 2.0 ? "met" : "MISSED");
        }
        Ligne(c, "  against the count's floor", "BM_QsdCopie/" + std::to_string(n), "BM_PlancherCopie", 0);
    }
    for (int n : {1000, 100000, 1000000}) {
        char szQuoi[64];
        snprintf(szQuoi, sizeof(szQuoi), "append 9 B x %d", n);
        Ligne(c, szQuoi, "BM_QsdAjout/" + std::to_string(n), "BM_StdAjout/" + std::to_string(n), 0);
    }
}

// N operations without timing, for instruction counts.
int Compte(const char* pszSpec) {
    char szOp[32] = "";
    unsigned nLen = 0, nMode = 0;
    unsigned long nFois = 0;
    if (sscanf(pszSpec, "%31[a-z_],%u,%u,%lu", szOp, &nLen, &nMode, &nFois) != 4 || nMode > 2) {
        fprintf(stderr, "--qsd_count=OP,LEN,CACHE,N\n");
        return 2;
    }
    CModeCache mode(static_cast<int>(nMode));
    const std::string op = szOp;
    if (op == "create") {
        for (unsigned long i = 0; i < nFois; ++i) QsdCree(nLen);
    } else if (op == "copy") {
        CQSDSTR a(gsTexte.c_str(), nLen);
        for (unsigned long i = 0; i < nFois; ++i) QsdCopie(a);
    } else if (op == "std_create") {
        for (unsigned long i = 0; i < nFois; ++i) StdCree(nLen);
    } else if (op == "std_copy") {
        std::string a(gsTexte, 0, nLen);
        for (unsigned long i = 0; i < nFois; ++i) StdCopie(a);
    } else {
        fprintf(stderr, "unknown operation %s\n", szOp);
        return 2;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int nTours = 5;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (strncmp(argv[i], "--qsd_count=", 12) == 0) return Compte(argv[i] + 12);
        if (strncmp(argv[i], "--qsd_rounds=", 13) == 0) nTours = std::max(1, atoi(argv[i] + 13));
        else args.push_back(argv[i]);
    }
    int n = static_cast<int>(args.size());
    benchmark::Initialize(&n, args.data());
    if (benchmark::ReportUnrecognizedArguments(n, args.data())) return 1;
    Enregistre();
    CCollecte c;
    for (int t = 0; t < nTours; ++t) benchmark::RunSpecifiedBenchmarks(&c);
    Resume(c, nTours);
    benchmark::Shutdown();
    return 0;
}

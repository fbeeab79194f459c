// The call interface's cost: a procedure call with two pushed arguments through
// the nTQ forwarders against the same calls made straight to the engine's nQSE
// entries with the same context (the baseline). Ratio = interface / direct.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "launcher/TQExtern.h"
#include "launcher/TQExternSymbole.h"

namespace {

bool bPret()
{
    static bool b = [] {
        if (nTQInitFromName(TQ_BIN_DIR "/tq150vm.so", nullptr) != TQ_OK)
            return false;
        std::string sScript = "/tmp/tqhost_bench_" + std::to_string(getpid()) + ".TQL";
        FILE *p = fopen(sScript.c_str(), "w");
        if (!p)
            return false;
        fputs("proc Add a b\n  return a + b\nend\n", p);
        fclose(p);
        bool bOuvert = nTQOuvreTQL(TQ_TEXTE(sScript.c_str())) == TQ_OK;
        remove(sScript.c_str());
        return bOuvert;
    }();
    return b;
}

void BM_InterfaceAppelle(benchmark::State &state)
{
    if (!bPret()) {
        state.SkipWithError("engine not ready");
        return;
    }
    for (auto _ : state) {
        nTQEmpile(TQTYPE_ENTIER, 40);
        nTQEmpile(TQTYPE_ENTIER, 2);
        if (nTQAppelle(TQ_TEXTE("Add"), 2, 0, 0) != TQ_OK)
            state.SkipWithError("call failed");
        benchmark::DoNotOptimize(nTQGetValeurRetour());
    }
}

void BM_MoteurDirect(benchmark::State &state)
{
    if (!bPret()) {
        state.SkipWithError("engine not ready");
        return;
    }
    PFN_QSE2 pfnEmpile = pfnDepuis<PFN_QSE2>(tqextern::gtabEntrees[tqextern::eENTREE_Empile]);
    PFN_QSE4 pfnAppelle = pfnDepuis<PFN_QSE4>(tqextern::gtabEntrees[tqextern::eENTREE_Appelle]);
    _stQSECONTEXTE *pCtx = pTQGetContexte();
    for (auto _ : state) {
        pfnEmpile(pCtx, TQTYPE_ENTIER, 40);
        pfnEmpile(pCtx, TQTYPE_ENTIER, 2);
        if (pfnAppelle(pCtx, TQ_TEXTE("Add"), 2, 0, 0) != TQ_OK)
            state.SkipWithError("call failed");
        benchmark::DoNotOptimize(pCtx->pValeurRetour->nValeur);
    }
}

} // namespace

BENCHMARK(BM_InterfaceAppelle);
BENCHMARK(BM_MoteurDirect);
BENCHMARK(BM_InterfaceAppelle);
BENCHMARK(BM_MoteurDirect);
BENCHMARK_MAIN();

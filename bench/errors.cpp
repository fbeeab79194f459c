// Message resources and error reports: loading a text (lookup and unpacking) and
// rendering a filled error with a sub-error.
#include <benchmark/benchmark.h>

#include "compression/DataCompressor.h"
#include "error/XError.h"
#include "error/accesdllres.h"
#include "strings/Tstring.h"

static void BM_LoadString(benchmark::State& state)
{
    CTString cl;
    for (auto _ : state) {
        benchmark::DoNotOptimize(DLLRES_bLoadString(28845, &cl));
    }
}
BENCHMARK(BM_LoadString);

static void BM_nLoadStringIntoBuffer(benchmark::State& state)
{
    char buf[128];
    for (auto _ : state) {
        benchmark::DoNotOptimize(DLLRES_nLoadString(5689, buf, sizeof buf));
    }
}
BENCHMARK(BM_nLoadStringIntoBuffer);

static void BM_StringDump(benchmark::State& state)
{
    CXError e;
    e.SetVMContext("Fen1", "Btn", 12, 3);
    e.SetUserError(1);
    e.AddUserMessage("Le fichier est perdu");
    e.AddDebugMessageNoFormat("trace");
    e.AddInfo(CXError::EIT_SRCFILE, "a.txt");
    CXError sub;
    sub.AddUserMessage(30000u);
    e.AddSubError(&sub);
    for (auto _ : state) {
        CTString cl = e.StringDump(0x80000FFF);
        benchmark::DoNotOptimize(cl.pszGet());
    }
}
BENCHMARK(BM_StringDump);

BENCHMARK_MAIN();

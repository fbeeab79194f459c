// Platform layer: profile lookups and writes on a file of a few hundred lines, the
// insert formatter and UUID creation.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/WinApi.h"

namespace {

// A profile file of 10 sections of 20 keys each, removed at exit.
struct CProfileFile {
    std::string clPath = "/tmp/bench_platform_" + std::to_string(getpid()) + ".ini";
    CProfileFile()
    {
        FILE *pFile = fopen(clPath.c_str(), "w");
        if (pFile == nullptr)
            return;
        for (int s = 0; s < 10; s++) {
            fprintf(pFile, "[Section%d]\n", s);
            for (int k = 0; k < 20; k++)
                fprintf(pFile, "Key%d = value of key %d in section %d\n", k, k, s);
            fprintf(pFile, "\n");
        }
        fclose(pFile);
    }
    ~CProfileFile() { unlink(clPath.c_str()); }
};

const CProfileFile &File()
{
    static const CProfileFile clFile;
    return clFile;
}

void BM_ProfileLookupFirst(benchmark::State &state)
{
    char szValue[64];
    for (auto _ : state)
        benchmark::DoNotOptimize(GetPrivateProfileString("section0", "key0", "", szValue, sizeof szValue,
                                                         File().clPath.c_str()));
}
BENCHMARK(BM_ProfileLookupFirst);

void BM_ProfileLookupLast(benchmark::State &state)
{
    char szValue[64];
    for (auto _ : state)
        benchmark::DoNotOptimize(GetPrivateProfileString("section9", "key19", "", szValue, sizeof szValue,
                                                         File().clPath.c_str()));
}
BENCHMARK(BM_ProfileLookupLast);

void BM_ProfileReplace(benchmark::State &state)
{
    int n = 0;
    for (auto _ : state) {
        std::string clValue = std::to_string(n++ & 1);
        benchmark::DoNotOptimize(WritePrivateProfileString("Section5", "Key10", clValue.c_str(),
                                                           File().clPath.c_str()));
    }
}
BENCHMARK(BM_ProfileReplace);

void BM_FormatMessageWinInserts(benchmark::State &state)
{
    const uintptr_t aSlots[] = {42, reinterpret_cast<uintptr_t>("file.txt"), 7};
    char szOut[256];
    for (auto _ : state)
        benchmark::DoNotOptimize(FormatMessageWin(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                                  "Error %1!u! while reading %2 (line %3!04d!).%n", 0, 0, szOut,
                                                  sizeof szOut,
                                                  reinterpret_cast<va_list *>(const_cast<uintptr_t *>(aSlots))));
}
BENCHMARK(BM_FormatMessageWinInserts);

void BM_UuidCreate(benchmark::State &state)
{
    UUID stUuid;
    for (auto _ : state) {
        UuidCreate(&stUuid);
        benchmark::DoNotOptimize(stUuid);
    }
}
BENCHMARK(BM_UuidCreate);

}  // namespace

BENCHMARK_MAIN();

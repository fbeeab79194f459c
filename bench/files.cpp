// Line reading throughput: the chunked reader (80-byte reads, seeking back after
// each line) against the buffered reader (64 KiB refills).
#include "files/DiskFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// A text file of lines of 20 to 120 characters, CR LF ended; removed at exit.
const std::string &TextFile()
{
    static std::string sPath;
    if (sPath.empty()) {
        char sz[] = "/tmp/tq-bench-lines-XXXXXX";
        int fd = mkstemp(sz);
        if (fd < 0)
            abort();
        std::string s;
        unsigned n = 12345;
        while (s.size() < (4u << 20)) {
            n = n * 1103515245u + 12345u;
            s.append(20 + (n >> 16) % 100, static_cast<char>('a' + (n >> 8) % 26));
            s += "\r\n";
        }
        if (write(fd, s.data(), s.size()) != static_cast<ssize_t>(s.size()))
            abort();
        close(fd);
        sPath = sz;
        atexit([] { unlink(sPath.c_str()); });
    }
    return sPath;
}

void BM_bReadLine(benchmark::State &state)
{
    const std::string &sPath = TextFile();
    char buf[261];
    int nCut;
    long long oBytes = 0;
    for (auto _ : state) {
        CDiskFile f;
        f.bOpen(sPath.c_str(), XACCESS_READ, XSHARE_NONE, 0, 0, nullptr);
        while (f.bReadLine(buf, sizeof buf, &nCut, 0))
            benchmark::DoNotOptimize(buf[0]);
        oBytes += f.oGetOffset();
    }
    state.SetBytesProcessed(oBytes);
}
BENCHMARK(BM_bReadLine)->Unit(benchmark::kMillisecond);

void BM_pszReadLine(benchmark::State &state)
{
    const std::string &sPath = TextFile();
    char buf[261];
    long long oBytes = 0;
    for (auto _ : state) {
        CDiskFile f;
        f.bOpen(sPath.c_str(), XACCESS_READ, XSHARE_NONE, 0, 0, nullptr);
        const char *psz;
        while ((psz = f.pszReadLine(buf, sizeof buf, nullptr, nullptr)) != nullptr)
            benchmark::DoNotOptimize(psz[0]);
        oBytes += f.oGetOffset();
    }
    state.SetBytesProcessed(oBytes);
}
BENCHMARK(BM_pszReadLine)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

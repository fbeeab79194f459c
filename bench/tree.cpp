// Tree operations side by side with the system's own tools, in the same run and on
// the same files (warm page cache): a walk of 50,000 files selecting *.txt against
// nftw and find, deleting that tree against rm -rf, copying 128 MiB against cp.
// Each iteration runs every contender once, the first one rotating, so that a busy
// machine weighs on all alike; the counters are median milliseconds and ratios
// (ours / theirs: below 1 is faster).
#include "files/DiskFile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fnmatch.h>
#include <ftw.h>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int TOP_DIRS = 10, SUB_DIRS = 10, FILES_PER_DIR = 500; // 50,000 files

std::string TempRoot()
{
    char sz[] = "/tmp/tq-bench-tree-XXXXXX";
    if (!mkdtemp(sz))
        abort();
    return sz;
}

// 100 directories of 500 empty files, every other one a .txt.
void MakeTree(const std::string &sDir)
{
    if (mkdir(sDir.c_str(), 0755) != 0)
        abort();
    char sz[512];
    for (int i = 0; i < TOP_DIRS; ++i) {
        snprintf(sz, sizeof sz, "%s/d%02d", sDir.c_str(), i);
        if (mkdir(sz, 0755) != 0)
            abort();
        for (int j = 0; j < SUB_DIRS; ++j) {
            snprintf(sz, sizeof sz, "%s/d%02d/s%02d", sDir.c_str(), i, j);
            if (mkdir(sz, 0755) != 0)
                abort();
            for (int k = 0; k < FILES_PER_DIR; ++k) {
                snprintf(sz, sizeof sz, "%s/d%02d/s%02d/f%04d.%s", sDir.c_str(), i, j, k,
                         k % 2 ? "dat" : "txt");
                int fd = open(sz, O_CREAT | O_WRONLY, 0644);
                if (fd < 0)
                    abort();
                close(fd);
            }
        }
    }
}

int Run(std::vector<std::string> args)
{
    std::vector<char *> argv;
    for (auto &s : args)
        argv.push_back(&s[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int nStatus = -1;
    if (posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ) == 0)
        waitpid(pid, &nStatus, 0);
    posix_spawn_file_actions_destroy(&fa);
    return nStatus;
}

double Millis(const std::function<void()> &fn)
{
    auto t0 = Clock::now();
    fn();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Runs the contenders once each, starting with a different one every iteration.
void RunRotating(std::vector<std::vector<double>> &times, int nIteration,
                 const std::vector<std::function<void()>> &fns)
{
    const size_t n = fns.size();
    for (size_t k = 0; k < n; ++k) {
        size_t i = (k + static_cast<size_t>(nIteration)) % n;
        times[i].push_back(Millis(fns[i]));
    }
}

long gnCount;

bool CountTree(const char *, void *)
{
    ++gnCount;
    return true;
}

int CountNftw(const char *pszPath, const struct stat *, int nType, struct FTW *pFtw)
{
    if (nType == FTW_F && fnmatch("*.txt", pszPath + pFtw->base, 0) == 0)
        ++gnCount;
    return 0;
}

void BM_WalkTxt(benchmark::State &state)
{
    const std::string sRoot = TempRoot(), sTree = sRoot + "/t";
    MakeTree(sTree);
    std::vector<std::vector<double>> t(3);
    int nIteration = 0;
    for (auto _ : state) {
        RunRotating(t, nIteration++,
                    {[&] {
                         gnCount = 0;
                         if (!CDiskFile::bDoOnFileTree(sTree.c_str(), "*.txt", CountTree, nullptr,
                                                       0, 1) ||
                             gnCount != TOP_DIRS * SUB_DIRS * FILES_PER_DIR / 2)
                             state.SkipWithError("walk failed");
                     },
                     [&] {
                         gnCount = 0;
                         nftw(sTree.c_str(), CountNftw, 64, FTW_PHYS);
                     },
                     [&] { Run({"find", sTree, "-name", "*.txt"}); }});
    }
    CDiskFile::bDeleteTree(sRoot.c_str());
    state.counters["ms_tree"] = Median(t[0]);
    state.counters["ms_nftw"] = Median(t[1]);
    state.counters["ms_find"] = Median(t[2]);
    state.counters["ratio_nftw"] = Median(t[0]) / Median(t[1]);
    state.counters["ratio_find"] = Median(t[0]) / Median(t[2]);
}
BENCHMARK(BM_WalkTxt)->Iterations(7)->Unit(benchmark::kMillisecond);

void BM_DeleteTree(benchmark::State &state)
{
    const std::string sRoot = TempRoot();
    std::vector<std::vector<double>> t(2);
    int nIteration = 0;
    for (auto _ : state) {
        state.PauseTiming();
        MakeTree(sRoot + "/a");
        MakeTree(sRoot + "/b");
        sync();
        state.ResumeTiming();
        RunRotating(t, nIteration++,
                    {[&] {
                         if (!CDiskFile::bDeleteTree((sRoot + "/a").c_str()))
                             state.SkipWithError("delete failed");
                     },
                     [&] { Run({"rm", "-rf", sRoot + "/b"}); }});
    }
    CDiskFile::bDeleteTree(sRoot.c_str());
    state.counters["ms_tree"] = Median(t[0]);
    state.counters["ms_rm"] = Median(t[1]);
    state.counters["ratio_rm"] = Median(t[0]) / Median(t[1]);
}
BENCHMARK(BM_DeleteTree)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_Copy128MiB(benchmark::State &state)
{
    const std::string sRoot = TempRoot(), sSource = sRoot + "/source";
    {
        std::vector<char> block(1 << 20);
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>(i * 2654435761u >> 13);
        FILE *f = fopen(sSource.c_str(), "wb");
        for (int i = 0; f && i < 128; ++i)
            fwrite(block.data(), 1, block.size(), f);
        if (!f || fclose(f) != 0)
            abort();
    }
    const std::string sOurs = sRoot + "/ours", sTheirs = sRoot + "/theirs";
    std::vector<std::vector<double>> t(2);
    int nIteration = 0;
    for (auto _ : state) {
        state.PauseTiming();
        unlink(sOurs.c_str());
        unlink(sTheirs.c_str());
        state.ResumeTiming();
        RunRotating(t, nIteration++,
                    {[&] {
                         if (!CDiskFile::bCopy(sOurs.c_str(), sSource.c_str()))
                             state.SkipWithError("copy failed");
                     },
                     [&] { Run({"cp", sSource, sTheirs}); }});
    }
    if (CDiskFile::oGetSize(sOurs.c_str()) != 128ll << 20)
        state.SkipWithError("copy incomplete");
    CDiskFile::bDeleteTree(sRoot.c_str());
    state.counters["ms_tree"] = Median(t[0]);
    state.counters["ms_cp"] = Median(t[1]);
    state.counters["ratio_cp"] = Median(t[0]) / Median(t[1]);
}
BENCHMARK(BM_Copy128MiB)->Iterations(7)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

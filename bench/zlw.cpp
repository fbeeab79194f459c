// In-memory throughput of the ZLW codec on text-like and binary-like data,
// and on the corpus of compare_zlw.sh when it has been generated (the
// folder in TQ_ZLW_CORPUS, or corpus/ beside the bench binaries).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "compression/Compresseur.h"

namespace {

struct Lcg {
    uint64_t s;
    uint32_t next()
    {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(s >> 33);
    }
};

// Words with a skewed frequency, in lines: compresses to about 40 percent.
std::vector<unsigned char> Text(size_t n)
{
    Lcg r{1};
    static const char *syll[] = {"ba", "co", "de", "fi", "ga", "he", "in", "ka", "le", "mo", "na", "or",
                                 "pe", "qu", "ri", "sa", "te", "un", "va", "ze", "an", "es", "it", "on"};
    std::vector<std::string> words(3000);
    for (auto &w : words)
        for (uint32_t k = 1 + r.next() % 4; k > 0; --k)
            w += syll[r.next() % 24];
    std::vector<unsigned char> v;
    size_t line = 0;
    while (v.size() < n) {
        // Squaring a uniform value favours the first words.
        uint64_t u = r.next() % 3000;
        const std::string &w = words[u * u / 3000];
        v.insert(v.end(), w.begin(), w.end());
        line += w.size() + 1;
        v.push_back(line > 70 ? '\n' : ' ');
        if (line > 70)
            line = 0;
    }
    v.resize(n);
    return v;
}

// Fixed-size records with counters, small fields and some noise.
std::vector<unsigned char> Binary(size_t n)
{
    Lcg r{2};
    std::vector<unsigned char> v;
    uint32_t id = 1000;
    int32_t amount = 0;
    while (v.size() < n) {
        id += 1 + (r.next() % 16 == 0);
        amount += static_cast<int32_t>(r.next() % 201) - 100;
        uint32_t fields[6] = {id, r.next() % 20, static_cast<uint32_t>(amount), 0x41424344u + r.next() % 8,
                              r.next() % 4 ? 0u : r.next(), 0};
        const unsigned char *p = reinterpret_cast<const unsigned char *>(fields);
        v.insert(v.end(), p, p + sizeof fields);
    }
    v.resize(n);
    return v;
}

const size_t TAILLE = 8 << 20;

void Compress(benchmark::State &state, const std::vector<unsigned char> &in)
{
    std::vector<unsigned char> data(in), out(in.size() + 7);
    uint32_t size = 0;
    for (auto _ : state) {
        size = CCompresseur::ms_clCompresseurZLW.dwCompression(data.data(), data.size(), out.data(), out.size());
        benchmark::DoNotOptimize(size);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(in.size()));
    state.counters["ratio"] = static_cast<double>(size) / static_cast<double>(in.size());
}

void Decompress(benchmark::State &state, const std::vector<unsigned char> &in)
{
    std::vector<unsigned char> data(in), block(in.size() + 7), out(in.size());
    uint32_t size = CCompresseur::ms_clCompresseurZLW.dwCompression(data.data(), data.size(), block.data(), block.size());
    for (auto _ : state) {
        uint32_t n = CCompresseur::ms_clCompresseurZLW.dwDecompression(block.data(), size, out.data(), out.size());
        if (n != in.size())
            state.SkipWithError("decoding failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(in.size()));
}

void BM_CompressText(benchmark::State &state)
{
    static const std::vector<unsigned char> in = Text(TAILLE);
    Compress(state, in);
}
void BM_CompressBinary(benchmark::State &state)
{
    static const std::vector<unsigned char> in = Binary(TAILLE);
    Compress(state, in);
}
void BM_DecompressText(benchmark::State &state)
{
    static const std::vector<unsigned char> in = Text(TAILLE);
    Decompress(state, in);
}
void BM_DecompressBinary(benchmark::State &state)
{
    static const std::vector<unsigned char> in = Binary(TAILLE);
    Decompress(state, in);
}

std::vector<unsigned char> Corpus(const char *name)
{
    const char *dir = getenv("TQ_ZLW_CORPUS");
    std::string path = std::string(dir ? dir : TQ_BIN_DIR "/../corpus") + "/" + name;
    std::ifstream f(path, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Registered only for the corpus files that exist.
const bool corpusRegistered = [] {
    for (const char *name : {"text.dat", "binary.dat"}) {
        auto data = std::make_shared<std::vector<unsigned char>>(Corpus(name));
        if (data->empty())
            continue;
        benchmark::RegisterBenchmark((std::string("BM_CompressCorpus/") + name).c_str(),
                                     [data](benchmark::State &state) { Compress(state, *data); })
            ->Unit(benchmark::kMillisecond)
            ->MeasureProcessCPUTime();
        benchmark::RegisterBenchmark((std::string("BM_DecompressCorpus/") + name).c_str(),
                                     [data](benchmark::State &state) { Decompress(state, *data); })
            ->Unit(benchmark::kMillisecond)
            ->MeasureProcessCPUTime();
    }
    return true;
}();

} // namespace

BENCHMARK(BM_CompressText)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_CompressBinary)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_DecompressText)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_DecompressBinary)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_MAIN();

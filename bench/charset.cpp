// MultiByteToUTF8 on ASCII-heavy code page 1252 text against one plain iconv
// pass over the same text: ASCII bytes are copied without iconv.
#include <benchmark/benchmark.h>

#include <iconv.h>

#include <string>
#include <vector>

#include "charset/xEmulUnicode.h"

namespace {

// Program text, paths and messages: about one accented byte in 200.
std::string TexteAscii() {
    std::string ligne =
        "    if (nCompteur > 0) { pszChemin = \"/usr/local/ORMELAN/lib/\"; nRetour = nOuvre(pszChemin); }\n"
        "    // Ouverture du fichier de param\xE8tres et lecture de la section FRAMEWORK\n";
    std::string t;
    while (t.size() < 64 * 1024) t += ligne;
    return t;
}

void BM_MultiByteToUTF8(benchmark::State& state) {
    const std::string src = TexteAscii();
    std::vector<char> dst(src.size() * 3 + 1);
    for (auto _ : state) {
        int n = MultiByteToUTF8(1252, src.data(), src.size(), dst.data(), dst.size(), 0);
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * src.size()));
}
BENCHMARK(BM_MultiByteToUTF8);

// The whole text through one descriptor opened once: the pure conversion cost.
void BM_IconvPlain(benchmark::State& state) {
    const std::string src = TexteAscii();
    std::vector<char> dst(src.size() * 3 + 1);
    iconv_t cd = iconv_open("UTF-8", "CP1252");
    for (auto _ : state) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(src.data());
        size_t inleft = src.size();
        char* out = dst.data();
        size_t outleft = dst.size();
        size_t r = iconv(cd, &in, &inleft, &out, &outleft);
        benchmark::DoNotOptimize(r);
    }
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * src.size()));
}
BENCHMARK(BM_IconvPlain);

}  // namespace

BENCHMARK_MAIN();

// Wildcard matcher against a plain dynamic-programming matcher, with a time bound:
// a matcher that backtracks over every star would take exponential time here.
#include "files/DiskFile.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// match[j]: the name read so far matches the first j pattern characters.
bool RefMatch(const std::string &s, const std::string &p)
{
    std::vector<char> match(p.size() + 1, 0);
    match[0] = 1;
    for (size_t j = 0; j < p.size() && p[j] == '*'; ++j)
        match[j + 1] = 1;
    for (char c : s) {
        std::vector<char> next(p.size() + 1, 0);
        for (size_t j = 0; j < p.size(); ++j) {
            if (p[j] == '*')
                next[j + 1] = next[j] || match[j + 1] || match[j];
            else if (match[j] && (p[j] == '?' || p[j] == c))
                next[j + 1] = 1;
        }
        match.swap(next);
    }
    return match[p.size()] != 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    // Name, a NUL, then the pattern.
    std::string sName, sPattern;
    size_t i = 0;
    for (; i < size && data[i]; ++i)
        sName += static_cast<char>(data[i]);
    for (++i; i < size; ++i)
        if (data[i])
            sPattern += static_cast<char>(data[i]);

    auto t0 = std::chrono::steady_clock::now();
    bool b = CDiskFile::_bFiltreFileName(sName.c_str(), sPattern.c_str());
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - t0).count();
    if (b != RefMatch(sName, sPattern)) {
        fprintf(stderr, "mismatch: name \"%s\" pattern \"%s\" answered %d\n", sName.c_str(),
                sPattern.c_str(), b);
        abort();
    }
    // At most name length times pattern length steps: far below this on any machine.
    if (ms > 2000) {
        fprintf(stderr, "matcher took %lld ms\n", static_cast<long long>(ms));
        abort();
    }
    return 0;
}

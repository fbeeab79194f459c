// Code page <-> UTF-8 conversions with arbitrary code pages, lengths and
// destination sizes. Buffers have exactly the sizes given, so any write or read
// beyond them is caught; a complete code page 1252 conversion must round-trip.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "charset/xEmulUnicode.h"

namespace {
const unsigned gCodePages[] = {1252, 0, 65001, 932, 936, 949, 950, 1250, 1251, 1253, 1255, 1256, 874, 1361};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    unsigned cp = gCodePages[data[0] % (sizeof gCodePages / sizeof gCodePages[0])];
    size_t dstSize = (static_cast<size_t>(data[1]) << 8 | data[2]) % 4096;
    size_t srcLen = size - 4;
    if (data[3] & 1) srcLen = srcLen * data[3] / 255;  // sometimes only a part of the bytes
    std::vector<char> src(data + 4, data + 4 + srcLen);
    char* psrc = src.empty() ? nullptr : src.data();
    static char vide[1];
    if (!psrc) psrc = vide;

    std::vector<char> dst(dstSize ? dstSize : 1);
    char* pdst = dstSize ? dst.data() : nullptr;
    int n = MultiByteToUTF8(cp, psrc, srcLen, pdst, dstSize, 0);
    if (n < 0 || static_cast<size_t>(n) > dstSize) abort();

    std::vector<char> back(dstSize ? dstSize : 1);
    int m = UTF8ToMultiByte(cp, psrc, srcLen, dstSize ? back.data() : nullptr, dstSize, 0, nullptr, nullptr);
    if (m < 0 || static_cast<size_t>(m) > dstSize) abort();

    // Everything converted with room to spare: back to code page 1252 unchanged.
    if (cp == 1252 && n > 0 && static_cast<size_t>(n) < dstSize && srcLen > 0) {
        std::vector<char> retour(srcLen + 1);
        int r = UTF8ToMultiByte(1252, pdst, static_cast<unsigned long>(n), retour.data(), srcLen + 1, 0,
                                nullptr, nullptr);
        if (r != static_cast<int>(srcLen) || memcmp(retour.data(), psrc, srcLen) != 0) abort();
    }
    return 0;
}

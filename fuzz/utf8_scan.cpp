// UTF-8 stepping, first-character decoding and validation on arbitrary bytes;
// the three must agree on every text the validator accepts.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "charset/xEmulUnicode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> texte(data, data + size);
    texte.push_back(0);
    const char* s = texte.data();
    const char* fin = s + strlen(s);

    // Stepping never passes the terminator and always moves.
    for (const char* p = s; p < fin;) {
        const char* q = UTF8next(p);
        if (q <= p || q > fin + 1) abort();
        if (UTF8Len(p) != q - p) abort();
        p = q;
    }

    // Decoding with every available length stays inside that length.
    for (size_t i = 0; i < size; ++i) {
        int len = static_cast<int>(size - i);
        int c = UTF8FirstChar(s + i, len);
        if (c < 0 ? len != 0 : (len < 1 || len > 4 || static_cast<size_t>(len) > size - i)) abort();
    }

    bool bValide = UTF8Valide(s, -1);
    if (UTF8Valide(s, static_cast<long>(fin - s)) != bValide) abort();
    // The exact length without the terminator: the same answer when the text
    // holds no zero byte.
    if (size && memchr(data, 0, size) == nullptr &&
        UTF8Valide(reinterpret_cast<const char*>(data), static_cast<long>(size)) != bValide)
        abort();
    if (bValide) {
        for (const char* p = s; p < fin;) {
            int len = static_cast<int>(fin - p);
            int c = UTF8FirstChar(p, len);
            if (c < 0 || UTF8next(p) != p + len) abort();
            p += len;
        }
    }
    return 0;
}

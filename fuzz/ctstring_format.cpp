// CTString::FormatV on arbitrary printf formats whose arguments have the types
// libc reads: the text must be libc's own, the block must hold it (ASan
// watches every write) and the estimate is never negative.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzLecteur.h"
#include "strings/Tstring.h"

namespace {

const int NB_CASES = 16;

const char* const gTextes[] = {"", "a", "texte", "caf\xE9 cr\xE8me", nullptr,
                               "0123456789012345678901234567890123456789012345678901234567890123456789"};
const wchar_t* const gLarges[] = {L"", L"w", L"wide text", nullptr};

int Formate(CTString& s, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int n = s.FormatV(fmt, args);
    va_end(args);
    return n;
}

long Estime(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    long n = CTString::s_nEstimeFormat(fmt, args);
    va_end(args);
    return n;
}

int Libc(char** out, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int n = vasprintf(out, fmt, args);
    va_end(args);
    return n;
}

// Small signed value for widths and precisions taken from the argument list.
uintptr_t nPetit(stLecteur& l) {
    int v = static_cast<int8_t>(l.octet()) * 8;
    return static_cast<uintptr_t>(static_cast<intptr_t>(v));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    stLecteur l{data, size};
    std::string fmt;
    uintptr_t cases[NB_CASES] = {};
    int nCase = 0;
    // Each conversion may take up to four slots (width, precision, a 64-bit value in the 32-bit tree).
    while (l.n && nCase + 4 <= NB_CASES) {
        uint8_t b = l.octet();
        if (b < 0x80 && b != '%' && b != 0) {
            fmt += static_cast<char>(b);
            continue;
        }
        uint8_t choix = l.octet();
        fmt += '%';
        if (choix == 0xFF) {  // the I64 / I32 spellings: a flag and a width for libc
            fmt += (l.octet() & 1) ? "I64" : "I32";
            fmt += "d";
            cases[nCase++] = static_cast<uintptr_t>(l.octet());
            continue;
        }
        if (b & 1) fmt += '-';
        if (b & 2) fmt += '0';
        if (b & 4) fmt += '#';
        if (b & 8) fmt += (b & 16) ? '+' : ' ';
        switch (choix & 3) {
            case 1: fmt += std::to_string(l.octet() % 200); break;
            case 2: fmt += '*'; cases[nCase++] = nPetit(l); break;
            default: break;
        }
        switch ((choix >> 2) & 3) {
            case 1: fmt += '.'; break;
            case 2: fmt += '.'; fmt += std::to_string(l.octet() % 200); break;
            case 3: fmt += ".*"; cases[nCase++] = nPetit(l); break;
            default: break;
        }
        static const char gConv[] = "diouxXcspCS%y";
        char conv = gConv[(choix >> 4) % (sizeof gConv - 1)];
        static const char* const gTailles[] = {"", "h", "hh", "l", "ll", "z", "j", "t", "q", "L"};
        const char* taille = gTailles[l.octet() % (sizeof gTailles / sizeof gTailles[0])];
        bool bEntier = strchr("diouxX", conv) != nullptr;
        if (bEntier) {
            fmt += taille;
        } else if (conv == 'c' || conv == 's') {
            if (*taille == 'l' && !taille[1]) fmt += 'l';
            else if (*taille == 'h' && !taille[1]) fmt += 'h';
        }
        fmt += conv;
        bool bLarge = conv == 'S' || conv == 'C' || fmt[fmt.size() - 2] == 'l';
        uint8_t v = l.octet();
        if (bEntier) {
            bool b64 = fmt[fmt.size() - 2] == 'q' || fmt[fmt.size() - 2] == 'L' || fmt[fmt.size() - 2] == 'j' ||
                       (fmt.size() > 3 && fmt.compare(fmt.size() - 3, 2, "ll") == 0);
            int nb = b64 ? static_cast<int>(sizeof(long long) / sizeof(uintptr_t)) : 1;
            for (int i = 0; i < nb; ++i)
                cases[nCase++] = static_cast<uintptr_t>(v) * 0x01010101u + static_cast<uintptr_t>(l.octet());
        } else if (conv == 'c' || conv == 'C') {
            cases[nCase++] = bLarge ? static_cast<uintptr_t>(v & 0x7F) : v;
        } else if (conv == 's' || conv == 'S') {
            cases[nCase++] = bLarge ? reinterpret_cast<uintptr_t>(gLarges[v % 4])
                                    : reinterpret_cast<uintptr_t>(gTextes[v % 6]);
        } else if (conv == 'p') {
            cases[nCase++] = reinterpret_cast<uintptr_t>(gTextes[v % 6]);
        }
    }
#define TQ_CASES cases[0], cases[1], cases[2], cases[3], cases[4], cases[5], cases[6], cases[7], \
    cases[8], cases[9], cases[10], cases[11], cases[12], cases[13], cases[14], cases[15]
    if (Estime(fmt.c_str(), TQ_CASES) < 0) abort();
    CTString s("before");
    int n = Formate(s, fmt.c_str(), TQ_CASES);
    char* attendu = nullptr;
    int m = Libc(&attendu, fmt.c_str(), TQ_CASES);
#undef TQ_CASES
    if (n != m) abort();
    if (n >= 0 && memcmp(s.pszGet(), attendu, static_cast<size_t>(n) + 1) != 0) abort();
    if (n < 0 && !s.bEstVide()) abort();
    if (m >= 0) free(attendu);
    return 0;
}

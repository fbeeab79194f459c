// CTString printf-style formatting: the capacity estimate scan and FormatV.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "strings/Tstring.h"

namespace {

enum eTaille { TAILLE_AUCUNE, TAILLE_H, TAILLE_L, TAILLE_LL, TAILLE_LD, TAILLE_Z, TAILLE_J, TAILLE_T };

inline bool bChiffre(char c) { return c >= '0' && c <= '9'; }

long nLireEntier(const char*& p) {
    long v = 0;
    while (bChiffre(*p)) {
        if (v < 100000000) v = v * 10 + (*p - '0');
        ++p;
    }
    return v;
}

// Widths and precisions come from int arguments: sums are taken in 64 bits.
long long nMax(long long a, long long b) { return a > b ? a : b; }

// Amount for the character and string conversions: max(B, W), then P if smaller.
long long nMontantTexte(long long b, long long w, long long p) {
    long long a = nMax(b, w);
    if (p != 0 && p < a) a = p;
    return a;
}

bool bConversionConnue(char c) { return c && strchr("cCsSdiouxXpneEfgGaA", c) != nullptr; }

}  // namespace

// One pass over the format. The argument list is read the way the libc
// formatter reads it (types included), so the scan never dereferences a value
// that the formatter would take as something else.
long CTString::s_nEstimeFormat(const char* fmt, va_list args) {
    if (!fmt) return 0;
    va_list ap;
    va_copy(ap, args);
    long long T = 0;
    const char* p = fmt;
    while (*p) {
        if (*p != '%') {
            T += 2;
            ++p;
            continue;
        }
        ++p;
        if (!*p) break;
        if (*p == '%') {
            T += 2;
            ++p;
            continue;
        }
        long long W = 0, P = 0;
        for (;;) {
            char c = *p;
            if (c == ' ' || c == '+' || c == '-' || c == '0' || c == '\'') {
                ++p;
            } else if (c == '#') {
                T += 2;
                ++p;
            } else if (c == '*') {
                W = va_arg(ap, int);
                ++p;
            } else {
                break;
            }
        }
        if (W == 0) W = nLireEntier(p);
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                // A negative precision counts as none, for libc as here: taken
                // as the amount it would make the estimate negative.
                P = va_arg(ap, int);
                if (P < 0) P = 0;
                ++p;
            } else {
                P = nLireEntier(p);
            }
        }
        eTaille taille = TAILLE_AUCUNE;
        for (bool bPrefixe = true; bPrefixe;) {
            switch (*p) {
                case 'h': taille = TAILLE_H; ++p; break;
                case 'l':
                    if (p[1] == 'l') { taille = TAILLE_LL; p += 2; }
                    else { taille = TAILLE_L; ++p; }
                    break;
                case 'q': taille = TAILLE_LL; ++p; break;
                case 'L': taille = TAILLE_LD; ++p; break;
                case 'z': taille = TAILLE_Z; ++p; break;
                case 'j': taille = TAILLE_J; ++p; break;
                case 't': taille = TAILLE_T; ++p; break;
                case 'I':
                    // The libc formatter takes I as a flag and the digits as the
                    // width: the argument keeps the type of the other prefixes.
                    if ((p[1] == '6' && p[2] == '4') || (p[1] == '3' && p[2] == '2')) p += 3;
                    else ++p;
                    break;
                case 'N': ++p; break;
                case 'F':
                    // Far-pointer prefix before a conversion; alone it is the
                    // libc %F conversion, handled below.
                    if (bConversionConnue(p[1])) ++p;
                    else bPrefixe = false;
                    break;
                default: bPrefixe = false; break;
            }
        }
        char conv = *p;
        if (!conv) break;
        ++p;
        switch (conv) {
            case 'c':
            case 'C':
                (void)va_arg(ap, int);
                T += nMontantTexte(2, W, P);
                break;
            case 's':
            case 'S': {
                bool bLarge = (conv == 'S' && taille != TAILLE_H) || (conv == 's' && taille == TAILLE_L);
                long b;
                if (bLarge) {
                    const wchar_t* w = va_arg(ap, const wchar_t*);
                    b = !w ? 6 : (*w ? static_cast<long>(wcslen(w)) : 1);
                } else {
                    const char* s = va_arg(ap, const char*);
                    b = !s ? 6 : (*s ? static_cast<long>(strlen(s)) : 1);
                }
                T += nMontantTexte(b, W, P);
                break;
            }
            case 'd': case 'i': case 'o': case 'u': case 'x': case 'X':
                switch (taille) {
                    case TAILLE_L: (void)va_arg(ap, long); break;
                    case TAILLE_LL: case TAILLE_LD: (void)va_arg(ap, long long); break;
                    case TAILLE_Z: (void)va_arg(ap, size_t); break;
                    case TAILLE_J: (void)va_arg(ap, intmax_t); break;
                    case TAILLE_T: (void)va_arg(ap, ptrdiff_t); break;
                    default: (void)va_arg(ap, int); break;
                }
                T += nMax(32, W + P);
                break;
            case 'p':
                (void)va_arg(ap, void*);
                T += nMax(32, W + P);
                break;
            case 'e': case 'E': case 'f': case 'F': case 'g': case 'G':
                if (taille == TAILLE_LD) (void)va_arg(ap, long double);
                else (void)va_arg(ap, double);
                T += nMax(512, W + P);
                break;
            case 'a': case 'A':
                // Unknown to the estimate (adds nothing) but it takes a value.
                if (taille == TAILLE_LD) (void)va_arg(ap, long double);
                else (void)va_arg(ap, double);
                break;
            case 'n':
                (void)va_arg(ap, void*);
                break;
            default:
                break;
        }
    }
    va_end(ap);
    // Never below nothing, and never more than the formatter can produce.
    if (T > INT_MAX - 2) T = INT_MAX - 2;
    return static_cast<long>(T);
}

// The estimate sizes the block for the common case; a bounded first pass
// measures the real length and the block grows when the estimate fell short,
// so nothing is ever written beyond it. The text is formatted into a new block
// and the old one released last: the format or an argument may be this very
// string's text.
int CTString::FormatV(const char* fmt, va_list args) {
    if (!fmt) fmt = "";
    va_list ap;
    va_copy(ap, args);
    long T = s_nEstimeFormat(fmt, ap);
    va_end(ap);
    CTString nouveau;
    nouveau._SetBufferSize(T + 1);
    va_copy(ap, args);
    int n = vsnprintf(nouveau._psz, static_cast<size_t>(T) + 2, fmt, ap);
    va_end(ap);
    if (n > T + 1) {
        CTString exact;
        exact._SetBufferSize(n);
        va_copy(ap, args);
        n = vsnprintf(exact._psz, static_cast<size_t>(n) + 1, fmt, ap);
        va_end(ap);
        nouveau.SetBuffer(exact._psz);
        exact._psz = nullptr;
    }
    if (n < 0) nouveau._psz[0] = 0;
    SetBuffer(nouveau._psz);
    nouveau._psz = nullptr;
    return n;
}

int CTString::printf(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int n = FormatV(fmt, args);
    va_end(args);
    return n;
}

CTStringFormat::CTStringFormat(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    try {
        FormatV(fmt, args);
    } catch (...) {
        va_end(args);
        Vide();
        throw;
    }
    va_end(args);
}

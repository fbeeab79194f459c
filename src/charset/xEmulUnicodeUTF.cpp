// UTF-8 scanning and validation, UTF-16 and wide helpers, version comparison.
#include <cstdlib>
#include <cstring>
#include <cwctype>

#include "charset/xEmulUnicode.h"
#include "strings/STR.h"

// ---------------------------------------------------------------------------
// UTF-8 scanning

static inline bool bSuite(unsigned char c) { return (c & 0xC0) == 0x80; }

const char* UTF8next(const char* p) {
    int n = TabUTF8len[static_cast<unsigned char>(*p) >> 2];
    if (n == 1) return p + 1;
    if (n == 0 || n == 6) n = 6;
    const char* q = p + 1;
    for (int i = 1; i < n && bSuite(static_cast<unsigned char>(*q)); ++i) ++q;
    return q;
}

char* UTF8next(char* p) { return const_cast<char*>(UTF8next(static_cast<const char*>(p))); }

int UTF8Len(const char* p) { return static_cast<int>(UTF8next(p) - p); }

int UTF8FirstChar(const char* p, int& len) {
    int dispo = len;
    len = 0;
    if (!p || dispo <= 0) return -1;
    const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
    unsigned lead = u[0];
    if (lead < 0x80) {
        len = 1;
        return static_cast<int>(lead);
    }
    if (dispo < 2 || !bSuite(u[1])) return -1;
    if (lead < 0xE0) {
        len = 2;
        return static_cast<int>(((lead << 6) & 0x7FF) | (u[1] & 0x3F));
    }
    if (lead < 0xF0) {
        if (dispo < 3 || !bSuite(u[2])) return -1;
        len = 3;
        return static_cast<int>(((lead << 12) & 0xFFFF) | ((u[1] << 6) & 0xFFF) | (u[2] & 0x3F));
    }
    if (lead < 0xF8) {
        if (dispo < 4 || !bSuite(u[2]) || !bSuite(u[3])) return -1;
        len = 4;
        return static_cast<int>(((lead << 18) & 0x1FFFFF) | ((u[1] << 12) & 0x3FFFF) |
                                ((u[2] << 6) & 0xFFF) | (u[3] & 0x3F));
    }
    return -1;
}

bool UTF8Valide(const char* s, long len) {
    if (!s) return len == 0;
    bool bIllimite = len == -1;
    if (!bIllimite && len <= 0) return true;
    const unsigned char* u = reinterpret_cast<const unsigned char*>(s);
    long i = 0;
    while ((bIllimite || i < len) && u[i]) {
        unsigned c = u[i];
        long n;
        if (c < 0x80) n = 1;
        else if (c >= 0xC0 && c <= 0xDF) n = 2;
        else if (c >= 0xE0 && c <= 0xEF) n = 3;
        else if (c >= 0xF0 && c <= 0xF7) n = 4;
        else return false;
        if (!bIllimite && len - i < n) return false;
        // Continuation checks stop at a NUL, so an unlimited scan stays in the text.
        for (long k = 1; k < n; ++k)
            if (!bSuite(u[i + k])) return false;
        i += n;
    }
    return true;
}

// ---------------------------------------------------------------------------
// UTF-16

long utf16len(const UTF16CHAR* s) {
    long n = 0;
    if (s)
        while (s[n]) ++n;
    return n;
}

long utf16nlen(const UTF16CHAR* s, long max) {
    long n = 0;
    if (s)
        while (n < max && s[n]) ++n;
    return n;
}

UTF16CHAR* utf16ncpy(UTF16CHAR* dst, const UTF16CHAR* src, long n) {
    long i = 0;
    for (; i < n && src && src[i]; ++i) dst[i] = src[i];
    for (; i < n; ++i) dst[i] = 0;
    return dst;
}

static inline wint_t nMaj16(UTF16CHAR c) { return towupper(static_cast<wint_t>(c)); }

int utf16nicmp(const UTF16CHAR* a, const UTF16CHAR* b, long n) {
    for (long i = 0; i < n; ++i) {
        wint_t ca = nMaj16(a[i]), cb = nMaj16(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (!a[i]) break;
    }
    return 0;
}

const UTF16CHAR* utf16niutf16(const UTF16CHAR* s, const UTF16CHAR* t, long n) {
    if (!s || !t) return nullptr;
    long lt = utf16len(t);
    long ls = utf16nlen(s, n);
    for (long i = 0; i + lt <= ls; ++i)
        if (utf16nicmp(s + i, t, lt) == 0) return s + i;
    return nullptr;
}

int UTF16ToWideChar(const UTF16CHAR* src, int srcLen, wchar_t* dst, int dstCount) {
    if (!src || srcLen < -1) return 0;
    long n = srcLen == -1 ? utf16len(src) + 1 : srcLen;
    int o = 0;
    for (long i = 0; i < n; ++i) {
        uint32_t c = src[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (src[i + 1] - 0xDC00u);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // unpaired surrogate
        }
        if (dst && dstCount > 0) {
            if (o >= dstCount) return 0;
            dst[o] = static_cast<wchar_t>(c);
        }
        ++o;
    }
    return o;
}

int WideCharToUTF16(const wchar_t* src, int srcLen, UTF16CHAR* dst, int dstCount) {
    if (!src || srcLen < -1) return 0;
    long n = srcLen == -1 ? static_cast<long>(wcslen(src)) + 1 : srcLen;
    int o = 0;
    bool bEcrit = dst && dstCount > 0;
    for (long i = 0; i < n; ++i) {
        uint32_t c = static_cast<uint32_t>(src[i]);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        if (c >= 0x10000) {
            if (bEcrit) {
                if (o + 2 > dstCount) return 0;
                dst[o] = static_cast<UTF16CHAR>(0xD800 + ((c - 0x10000) >> 10));
                dst[o + 1] = static_cast<UTF16CHAR>(0xDC00 + ((c - 0x10000) & 0x3FF));
            }
            o += 2;
        } else {
            if (bEcrit) {
                if (o >= dstCount) return 0;
                dst[o] = static_cast<UTF16CHAR>(c);
            }
            ++o;
        }
    }
    return o;
}

int UTF16ToMultiByte(unsigned int codePage, const UTF16CHAR* src, int srcLen, char* dst, int dstSize) {
    int nw = UTF16ToWideChar(src, srcLen, nullptr, 0);
    if (nw <= 0) return 0;
    wchar_t* w = static_cast<wchar_t*>(malloc(static_cast<size_t>(nw) * sizeof(wchar_t)));
    if (!w) return 0;
    int r = 0;
    if (UTF16ToWideChar(src, srcLen, w, nw) == nw)
        r = WideCharToMultiByte(codePage, 0, w, nw, dst, dstSize, nullptr, nullptr);
    free(w);
    return r;
}

int MultiByteToUTF16(unsigned int codePage, const char* src, int srcLen, UTF16CHAR* dst, int dstCount) {
    int nw = MultiByteToWideChar(codePage, 0, src, srcLen, nullptr, 0);
    if (nw <= 0) return 0;
    wchar_t* w = static_cast<wchar_t*>(malloc(static_cast<size_t>(nw) * sizeof(wchar_t)));
    if (!w) return 0;
    int r = 0;
    if (MultiByteToWideChar(codePage, 0, src, srcLen, w, nw) == nw) r = WideCharToUTF16(w, nw, dst, dstCount);
    free(w);
    return r;
}

// ---------------------------------------------------------------------------
// Heap conversions

wchar_t* pszXSTR2WSTR(const char* psz, long len) {
    if (!psz) return nullptr;
    if (len < 0) len = static_cast<long>(strlen(psz));
    int n = len ? MultiByteToWideChar(1252, 0, psz, static_cast<int>(len), nullptr, 0) : 0;
    if (len && !n) return nullptr;
    wchar_t* w = static_cast<wchar_t*>(malloc((static_cast<size_t>(n) + 1) * sizeof(wchar_t)));
    if (!w) return nullptr;
    if (n && MultiByteToWideChar(1252, 0, psz, static_cast<int>(len), w, n) != n) {
        free(w);
        return nullptr;
    }
    w[n] = 0;
    return w;
}

char* pszWSTR2XSTR(const wchar_t* pwsz, long len, int codePage) {
    if (!pwsz) return nullptr;
    if (len < 0) len = static_cast<long>(wcslen(pwsz));
    unsigned cp = static_cast<unsigned>(codePage);
    int n = len ? WideCharToMultiByte(cp, 0, pwsz, static_cast<int>(len), nullptr, 0, nullptr, nullptr) : 0;
    if (len && !n) return nullptr;
    char* p = STR_pszCreate(static_cast<unsigned>(n));
    if (!p) return nullptr;
    if (n && WideCharToMultiByte(cp, 0, pwsz, static_cast<int>(len), p, n, nullptr, nullptr) != n) {
        STR_Delete(p);
        return nullptr;
    }
    p[n] = 0;
    return p;
}

char* pszCSTR2XSTR(const char* psz) { return psz ? STR_pszCreate(psz) : nullptr; }
char* pszXSTR2CSTR(const char* psz) { return psz ? STR_pszCreate(psz) : nullptr; }

double wtof(const wchar_t* pwsz) {
    if (!pwsz) return 0.0;
    char buf[101];
    size_t n = wcslen(pwsz);
    if (n > 100) n = 100;
    int r = n ? WideCharToMultiByte(1252, 0, pwsz, static_cast<int>(n), buf, 100, nullptr, nullptr) : 0;
    buf[r > 0 ? r : 0] = 0;
    return atof(buf);
}

// ---------------------------------------------------------------------------
// Versions

// A version without a dot has an empty rest; longer ones are cut at 20 characters.
int nCompareVersionModule(const char* a, const char* b) {
    char va[21], vb[21];
    strncpy(va, a ? a : "", 20);
    va[20] = 0;
    strncpy(vb, b ? b : "", 20);
    vb[20] = 0;
    char* pa = strchr(va, '.');
    char* pb = strchr(vb, '.');
    const char* ra = "";
    const char* rb = "";
    if (pa) { *pa = 0; ra = pa + 1; }
    if (pb) { *pb = 0; rb = pb + 1; }
    int na = atoi(va), nb = atoi(vb);
    if (na > nb) return 1;
    if (na < nb) return -1;
    int c = strcmp(ra, rb);
    return c > 0 ? 1 : (c < 0 ? -1 : 0);
}

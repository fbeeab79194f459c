// Windows-style code page conversions on iconv, and code page <-> UTF-8
// conversions that leave ASCII untouched.
#include "charset/xEmulUnicode.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iconv.h>

#include <cstdint>
#include <mutex>

#include "charset/GestionMultilangue.h"
#include "charset/xEmulUnicodeInterne.h"
#include "strings/CharTab.h"

const char* CodePageToIConv(int codePage) {
    switch (codePage) {
        case 874: return "CP874";
        case 932: return "CP932";
        case 936: return "CP936";
        case 949: return "CP949";
        case 950: return "CP950";
        case 1250: return "CP1250";
        case 1251: return "CP1251";
        case 1253: return "CP1253";
        case 1254: return "CP1254";
        case 1255: return "CP1255";
        case 1256: return "CP1256";
        case 1257: return "CP1257";
        case 1258: return "CP1258";
        case 1361: return "CP1361";
        case 65001: return "UTF-8";
        default: return "CP1252";
    }
}

namespace {

const char gszUCS4[] = "UCS4LE";
const char gszUTF32[] = "UTF32LE";

// Descriptors are costly to open and the UTF-8 conversions open one per
// non-ASCII run: each thread keeps the last few, reset before every use.
struct CCacheIconv {
    enum { NB = 6 };
    struct stEntree {
        const char* pszVers;
        const char* pszDe;
        iconv_t cd;
    };
    stEntree tab[NB];
    int nProchain;
    CCacheIconv() : nProchain(0) {
        for (auto& e : tab) e = {nullptr, nullptr, reinterpret_cast<iconv_t>(-1)};
    }
    ~CCacheIconv() {
        for (auto& e : tab)
            if (e.cd != reinterpret_cast<iconv_t>(-1)) iconv_close(e.cd);
    }
    CCacheIconv(const CCacheIconv&) = delete;
    CCacheIconv& operator=(const CCacheIconv&) = delete;

    iconv_t cdOuvre(const char* vers, const char* de) {
        for (auto& e : tab)
            if (e.pszVers && strcmp(e.pszVers, vers) == 0 && strcmp(e.pszDe, de) == 0) {
                iconv(e.cd, nullptr, nullptr, nullptr, nullptr);
                return e.cd;
            }
        iconv_t cd = iconv_open(vers, de);
        if (cd == reinterpret_cast<iconv_t>(-1)) return cd;
        stEntree& e = tab[nProchain];
        nProchain = (nProchain + 1) % NB;
        if (e.cd != reinterpret_cast<iconv_t>(-1)) iconv_close(e.cd);
        // Names come from CodePageToIConv or the wide names: static texts.
        e = {vers, de, cd};
        return cd;
    }
};

thread_local CCacheIconv gCache;

}  // namespace

const char* pszNomIconvLarge() {
    // glibc may not know "UCS4LE"; "UTF32LE" is the same encoding without BOM.
    // Decided once, also when several threads convert first.
    static const char* const s_psz = [] {
        iconv_t cd = iconv_open(gszUCS4, "CP1252");
        if (cd == reinterpret_cast<iconv_t>(-1)) return gszUTF32;
        iconv_close(cd);
        return gszUCS4;
    }();
    return s_psz;
}

iconv_t cdOuvreIconv(const char* vers, const char* de) {
    iconv_t cd = gCache.cdOuvre(vers, de);
    if (cd != reinterpret_cast<iconv_t>(-1)) return cd;
    // A wide name the library rejects: try the other spelling.
    if (strcmp(vers, gszUCS4) == 0) return gCache.cdOuvre(gszUTF32, de);
    if (strcmp(de, gszUCS4) == 0) return gCache.cdOuvre(vers, gszUTF32);
    return cd;
}

long nIconvUnePasse(const char* vers, const char* de, const char* in, size_t inlen, char* out,
                    size_t outsize, int* pErr) {
    if (pErr) *pErr = 0;
    iconv_t cd = cdOuvreIconv(vers, de);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        if (pErr) *pErr = EINVAL;
        return -1;
    }
    char* pin = const_cast<char*>(in);
    char* pout = out;
    size_t outleft = outsize;
    if (iconv(cd, &pin, &inlen, &pout, &outleft) == static_cast<size_t>(-1) ||
        iconv(cd, nullptr, nullptr, &pout, &outleft) == static_cast<size_t>(-1)) {
        if (pErr) *pErr = errno;
        return -1;
    }
    return static_cast<long>(outsize - outleft);
}

long nIconvMesure(const char* vers, const char* de, const char* in, size_t inlen, size_t nScratch) {
    iconv_t cd = cdOuvreIconv(vers, de);
    if (cd == reinterpret_cast<iconv_t>(-1)) return -1;
    char scratch[32];
    if (nScratch > sizeof(scratch)) nScratch = sizeof(scratch);
    char* pin = const_cast<char*>(in);
    long total = 0;
    for (;;) {
        char* pout = scratch;
        size_t outleft = nScratch;
        size_t avant = inlen;
        size_t r = iconv(cd, &pin, &inlen, &pout, &outleft);
        total += static_cast<long>(nScratch - outleft);
        if (r != static_cast<size_t>(-1)) break;
        // Stop when one character does not fit the scratch area at all.
        if (errno != E2BIG || (avant == inlen && outleft == nScratch)) return -1;
    }
    return total;
}

int MultiByteToWideChar(unsigned int codePage, unsigned int, const char* src, int srcLen,
                        wchar_t* dst, int dstCount) {
    if (!src || srcLen < -1) return 0;
    size_t n = srcLen == -1 ? strlen(src) + 1 : static_cast<size_t>(srcLen);
    if (!n) return 0;
    const char* de = CodePageToIConv(static_cast<int>(codePage));
    if (dst && dstCount > 0) {
        long r = nIconvUnePasse(pszNomIconvLarge(), de, src, n, reinterpret_cast<char*>(dst),
                                static_cast<size_t>(dstCount) * 4, nullptr);
        return r < 0 ? 0 : static_cast<int>(r / 4);
    }
    long r = nIconvMesure(pszNomIconvLarge(), de, src, n, 32);
    return r < 0 ? 0 : static_cast<int>(r / 4);
}

int WideCharToMultiByte(unsigned int codePage, unsigned int, const wchar_t* src, int srcLen,
                        char* dst, int dstSize, const char*, int*) {
    if (!src || srcLen < -1) return 0;
    size_t n = srcLen == -1 ? wcslen(src) + 1 : static_cast<size_t>(srcLen);
    if (!n) return 0;
    const char* vers = CodePageToIConv(static_cast<int>(codePage));
    const char* in = reinterpret_cast<const char*>(src);
    if (dst && dstSize > 0) {
        long r = nIconvUnePasse(vers, pszNomIconvLarge(), in, n * 4, dst, static_cast<size_t>(dstSize), nullptr);
        return r < 0 ? 0 : static_cast<int>(r);
    }
    long r = nIconvMesure(vers, pszNomIconvLarge(), in, n * 4, 8);
    return r < 0 ? 0 : static_cast<int>(r);
}

int MultiByteToMultiByte(unsigned int fromCodePage, const char* src, unsigned int srcLen,
                         unsigned int toCodePage, char* dst, unsigned int dstSize, unsigned int) {
    if (!src) return 0;
    size_t n = srcLen == static_cast<unsigned int>(-1) ? strlen(src) + 1 : srcLen;
    if (!n) return 0;
    const char* de = CodePageToIConv(static_cast<int>(fromCodePage));
    const char* vers = CodePageToIConv(static_cast<int>(toCodePage));
    if (dst && dstSize > 0) {
        long r = nIconvUnePasse(vers, de, src, n, dst, dstSize, nullptr);
        return r < 0 ? 0 : static_cast<int>(r);
    }
    long r = nIconvMesure(vers, de, src, n, 8);
    return r < 0 ? 0 : static_cast<int>(r);
}

int nGetUNICODELen(const char* psz) { return MultiByteToWideChar(1252, 0, psz, -1, nullptr, 0); }

int nGetUTF8Len(const wchar_t* pwsz) {
    return WideCharToMultiByte(65001, 0, pwsz, -1, nullptr, 0, nullptr, nullptr);
}

char* pszChar2UTF8(const char* psz) {
    if (!psz) return nullptr;
    size_t len = strlen(psz);
    // A code page 1252 byte never takes more than 3 UTF-8 bytes.
    size_t taille = 3 * len + 1;
    char* p = static_cast<char*>(malloc(taille));
    if (!p) return nullptr;
    int n = len ? MultiByteToUTF8(1252, psz, len, p, taille, 0) : 0;
    if (len && !n) {
        free(p);
        return nullptr;
    }
    p[n] = 0;
    char* q = static_cast<char*>(realloc(p, static_cast<size_t>(n) + 1));
    return q ? q : p;
}

// ---------------------------------------------------------------------------
// Code page <-> UTF-8

namespace {

// Work area for a run: on the stack up to 1024 bytes, else on the heap.
class CTampon {
public:
    explicit CTampon(size_t n) : _p(n <= sizeof(_pile) ? _pile : static_cast<char*>(malloc(n))) {}
    ~CTampon() {
        if (_p != _pile) free(_p);
    }
    CTampon(const CTampon&) = delete;
    CTampon& operator=(const CTampon&) = delete;
    char* p() const { return _p; }

private:
    alignas(wchar_t) char _pile[1024];
    char* _p;
};

// Length of the run of bytes with the high bit set that starts at i.
size_t nFinRun(const char* src, size_t i, size_t srcLen) {
    size_t j = i;
    while (j < srcLen && (static_cast<unsigned char>(src[j]) & 0x80)) ++j;
    return j;
}

void Remplir(char* dst, size_t o, size_t dstSize) {
    if (o < dstSize) memset(dst + o, 0, dstSize - o);
}

// Copies the ASCII bytes from src[i] on (at most fin - i of them) to dst and
// returns the index of the first byte not copied. Eight bytes at a time.
size_t nCopieAscii(const char* src, size_t i, size_t fin, char* dst) {
    size_t d = i;
    while (d + 8 <= fin) {
        uint64_t w;
        memcpy(&w, src + d, 8);
        if (w & 0x8080808080808080ULL) break;
        d += 8;
    }
    while (d < fin && !(static_cast<unsigned char>(src[d]) & 0x80)) ++d;
    memcpy(dst, src + i, d - i);
    return d;
}

// UTF-8 form of the 128 upper bytes of a stateless single-byte code page,
// built once from iconv itself: a run then costs a table lookup per byte
// instead of two iconv calls, with the same result (length 0 marks a byte the
// code page does not define, which fails the conversion as iconv would).
struct stTableHaute {
    unsigned char len[128];
    char utf8[128][4];
};

const stTableHaute* pTableHaute(unsigned int codePage) {
    static const int tabCP[] = {874, 1250, 1251, 1252, 1253, 1254, 1256, 1257};
    static stTableHaute tables[sizeof tabCP / sizeof tabCP[0]];
    static std::once_flag drapeaux[sizeof tabCP / sizeof tabCP[0]];
    const char* nom = CodePageToIConv(static_cast<int>(codePage));
    for (size_t k = 0; k < sizeof tabCP / sizeof tabCP[0]; ++k) {
        if (strcmp(nom, CodePageToIConv(tabCP[k])) != 0) continue;
        std::call_once(drapeaux[k], [&] {
            for (int b = 0; b < 128; ++b) {
                char c = static_cast<char>(0x80 + b);
                long n = nIconvUnePasse("UTF-8", nom, &c, 1, tables[k].utf8[b], 4, nullptr);
                tables[k].len[b] = static_cast<unsigned char>(n > 0 ? n : 0);
            }
        });
        return &tables[k];
    }
    return nullptr;
}

}  // namespace

int MultiByteToUTF8(unsigned int codePage, const char* src, unsigned long srcLen, char* dst,
                    unsigned long dstSize, unsigned int) {
    if (!src || !dst || !dstSize) return 0;
    if (codePage == 65001) {
        // Bounded by both sizes: the source need not be terminated within srcLen.
        size_t n = strnlen(src, srcLen < dstSize ? srcLen : dstSize);
        memcpy(dst, src, n);
        Remplir(dst, n, dstSize);
        dst[dstSize - 1] = 0;
        return static_cast<int>(n < dstSize ? n : dstSize - 1);
    }
    const char* cp = CodePageToIConv(static_cast<int>(codePage));
    const char* large = pszNomIconvLarge();
    const stTableHaute* table = pTableHaute(codePage);
    size_t i = 0, o = 0;
    while (i < srcLen && o < dstSize) {
        size_t a = nCopieAscii(src, i, i + (srcLen - i < dstSize - o ? srcLen - i : dstSize - o), dst + o);
        o += a - i;
        i = a;
        if (i >= srcLen || o >= dstSize) break;
        size_t j = nFinRun(src, i, srcLen);
        size_t reste = dstSize - o;
        if (table) {
            // The whole run must fit, as in the iconv conversion.
            for (size_t k = i; k < j; ++k) {
                unsigned b = static_cast<unsigned char>(src[k]) - 0x80;
                size_t l = table->len[b];
                if (!l || l > dstSize - o) return 0;
                memcpy(dst + o, table->utf8[b], l);
                o += l;
            }
            i = j;
            continue;
        }
        CTampon travail(4 * reste + 4);
        if (!travail.p()) return 0;
        long nw;
        for (;;) {
            int err;
            nw = nIconvUnePasse(large, cp, src + i, j - i, travail.p(), 4 * reste + 4, &err);
            // A double-byte character whose trail byte is ASCII was cut off by
            // the run's end: take the next byte into the run and retry.
            if (nw < 0 && err == EINVAL && j < srcLen) {
                j = nFinRun(src, j + 1, srcLen);
                continue;
            }
            break;
        }
        if (nw <= 0) return 0;
        long nb = nIconvUnePasse("UTF-8", large, travail.p(), static_cast<size_t>(nw), dst + o, reste, nullptr);
        if (nb <= 0) return 0;
        o += static_cast<size_t>(nb);
        i = j;
    }
    Remplir(dst, o, dstSize);
    return static_cast<int>(o);
}

int UTF8ToMultiByte(unsigned int codePage, const char* src, unsigned long srcLen, char* dst,
                    unsigned long dstSize, unsigned int, const char*, int*) {
    if (!src || !dst || !dstSize) return 0;
    if (codePage == 65001) {
        if (srcLen < dstSize) {
            memcpy(dst, src, srcLen);
            Remplir(dst, srcLen, dstSize);
            return static_cast<int>(srcLen);
        }
        memcpy(dst, src, dstSize - 1);
        dst[dstSize - 1] = 0;
        return static_cast<int>(dstSize - 1);
    }
    const char* cp = CodePageToIConv(static_cast<int>(codePage));
    const char* large = pszNomIconvLarge();
    size_t i = 0, o = 0;
    while (i < srcLen && o < dstSize) {
        size_t a = nCopieAscii(src, i, i + (srcLen - i < dstSize - o ? srcLen - i : dstSize - o), dst + o);
        o += a - i;
        i = a;
        if (i >= srcLen || o >= dstSize) break;
        size_t j = nFinRun(src, i, srcLen);
        size_t taille = 4 * (j - i) + 4;
        CTampon travail(taille);
        if (!travail.p()) return 0;
        long nw = nIconvUnePasse(large, "UTF-8", src + i, j - i, travail.p(), taille, nullptr);
        if (nw <= 0) return 0;
        long nb = nIconvUnePasse(cp, large, travail.p(), static_cast<size_t>(nw), dst + o, dstSize - o, nullptr);
        if (nb <= 0) return 0;
        o += static_cast<size_t>(nb);
        i = j;
    }
    Remplir(dst, o, dstSize);
    return static_cast<int>(o);
}

static unsigned int dwCodePageCourante() {
    return dwGetCodePageFromCharset(STR_nGetCurrentChangeCharset());
}

int MultiByteToUTF8_CurrentCharset(const char* src, unsigned long srcLen, char* dst,
                                   unsigned long dstSize, unsigned int flags) {
    return MultiByteToUTF8(dwCodePageCourante(), src, srcLen, dst, dstSize, flags);
}

int UTF8ToMultiByte_CurrentCharset(const char* src, unsigned long srcLen, char* dst,
                                   unsigned long dstSize, unsigned int flags,
                                   const char* defaultChar, int* usedDefault) {
    return UTF8ToMultiByte(dwCodePageCourante(), src, srcLen, dst, dstSize, flags, defaultChar, usedDefault);
}

int MultiByteToUTF16_CurrentCharset(const char* src, int srcLen, UTF16CHAR* dst, int dstCount) {
    return MultiByteToUTF16(dwCodePageCourante(), src, srcLen, dst, dstCount);
}

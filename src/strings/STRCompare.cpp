// STR_ family: comparisons (exact, case- and accent-insensitive, ignoring
// separators, by collation rank, numeric-aware) and the language comparison.
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "strings/STR.h"
#include "strings/STRInterne.h"

namespace {

inline bool bInside(const unsigned char *p, int nLen, int i)
{
    return (nLen < 0 || i < nLen) && p[i] != 0;
}

inline bool bDigit(unsigned int c)
{
    return c >= '0' && c <= '9';
}

// A negative length means up to the terminator; a null text has none.
inline int nLongueur(const char *p, int n)
{
    return p == nullptr ? 0 : (n < 0 ? static_cast<int>(strlen(p)) : n);
}

inline int nLongueur(const wchar_t *p, int n)
{
    return p == nullptr ? 0 : (n < 0 ? static_cast<int>(wcslen(p)) : n);
}

inline int nSigne(int n)
{
    return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

// Work buffer on the stack for the common case, on the heap beyond it, so a
// long text cannot overflow the stack.
template <typename T, size_t N> class CTampon {
public:
    explicit CTampon(int nCount)
    {
        m_p = m_tab;
        if (nCount > static_cast<int>(N)) {
            m_pHeap = static_cast<T *>(malloc(sizeof(T) * static_cast<size_t>(nCount)));
            m_p = m_pHeap;
        }
    }
    ~CTampon() { free(m_pHeap); }
    CTampon(const CTampon &) = delete;
    CTampon &operator=(const CTampon &) = delete;
    T *p() { return m_p; }

private:
    T m_tab[N];
    T *m_pHeap = nullptr;
    T *m_p;
};

} // namespace

namespace {

// Walks both texts in step with mapping MODE (0 to 7); answers 1 or 3 at the
// first difference (signed bytes), 0 when one text ends, with i and j left
// there. UNLIMITED: both lengths are "up to the terminator". One table
// lookup per character: mode 3 uses the combined unaccented upper table.
template <unsigned MODE, bool UNLIMITED>
int nParcours(const unsigned char *a, int nLenA, const unsigned char *b, int nLenB, int &i, int &j)
{
    const unsigned char *pbyMap = (MODE & 3) == 1   ? pToUpper_Latin1
                                  : (MODE & 3) == 2 ? pToNoAccent_Latin1
                                                    : pToNoAccentUpper_Latin1;
    for (;;) {
        if (UNLIMITED) {
            if (a[i] == 0 || b[j] == 0)
                return 0;
        } else if (!bInside(a, nLenA, i) || !bInside(b, nLenB, j)) {
            return 0;
        }
        unsigned char ca = a[i], cb = b[j];
        if (MODE & STR_MAP_DROPSEP) {
            // Each side skips its separators on its own; a separator left
            // over at the end counts for the result.
            if (pbyCharType_Latin1[ca] & CHARTYPE_SEPARATOR) {
                ++i;
                continue;
            }
            if (pbyCharType_Latin1[cb] & CHARTYPE_SEPARATOR) {
                ++j;
                continue;
            }
        }
        if (MODE & 3) {
            ca = pbyMap[ca];
            cb = pbyMap[cb];
        }
        if (ca != cb)
            return static_cast<signed char>(ca) < static_cast<signed char>(cb) ? 1 : 3;
        ++i;
        ++j;
    }
}

template <bool UNLIMITED>
int nParcoursMode(unsigned int nMode, const unsigned char *a, int nLenA, const unsigned char *b, int nLenB, int &i,
                  int &j)
{
    switch (nMode) {
    case 0: return nParcours<0, UNLIMITED>(a, nLenA, b, nLenB, i, j);
    case 1: return nParcours<1, UNLIMITED>(a, nLenA, b, nLenB, i, j);
    case 2: return nParcours<2, UNLIMITED>(a, nLenA, b, nLenB, i, j);
    case 3: return nParcours<3, UNLIMITED>(a, nLenA, b, nLenB, i, j);
    case 4: return nParcours<4, UNLIMITED>(a, nLenA, b, nLenB, i, j);
    case 5: return nParcours<5, UNLIMITED>(a, nLenA, b, nLenB, i, j);
    case 6: return nParcours<6, UNLIMITED>(a, nLenA, b, nLenB, i, j);
    case 7: return nParcours<7, UNLIMITED>(a, nLenA, b, nLenB, i, j);
    default: return 0; // compares no characters
    }
}

} // namespace

int STR_CompareStringEx(unsigned int nMode, const char *pszA, int nLenA, const char *pszB, int nLenB)
{
    static const unsigned char kszVide[1] = {0};
    const unsigned char *a = pszA != nullptr ? reinterpret_cast<const unsigned char *>(pszA) : kszVide;
    const unsigned char *b = pszB != nullptr ? reinterpret_cast<const unsigned char *>(pszB) : kszVide;
    int i = 0, j = 0;
    const int nRes = (nLenA < 0 && nLenB < 0) ? nParcoursMode<true>(nMode, a, nLenA, b, nLenB, i, j)
                                              : nParcoursMode<false>(nMode, a, nLenA, b, nLenB, i, j);
    if (nRes != 0)
        return nRes;
    if (bInside(a, nLenA, i))
        return 3;
    if (bInside(b, nLenB, j))
        return 1;
    return 2;
}

int STR_nCompare(const char *pszA, const char *pszB, unsigned int nFlags)
{
    return STR_CompareStringEx(nFlags & ~0x10010000u, pszA, -1, pszB, -1) - 2;
}

int STR_nUpCompare(const char *pszA, const char *pszB, unsigned int nFlags)
{
    return STR_nCompare(pszA, pszB, nFlags | STR_MAP_CASE);
}

int STR_nAcCompare(const char *pszA, const char *pszB, unsigned int nFlags)
{
    return STR_nCompare(pszA, pszB, nFlags | STR_MAP_NOACCENT);
}

int STR_nNCompare(const char *pszA, const char *pszB, int n, unsigned int nFlags)
{
    if (n < 0)
        n = 0;
    const int nLenA = pszA != nullptr ? STR_nLen(pszA, n) : 0;
    const int nLenB = pszB != nullptr ? STR_nLen(pszB, n) : 0;
    return STR_CompareStringEx(nFlags & ~static_cast<unsigned int>(STR_MAP_LOCAL), pszA, nLenA, pszB, nLenB) - 2;
}

int STR_nNullCompare(const char *pszA, const char *pszB, unsigned int nFlags)
{
    if (pszA == nullptr)
        return pszB == nullptr ? 0 : -1;
    if (pszB == nullptr)
        return 1;
    return STR_nCompare(pszA, pszB, nFlags);
}

int STR_nNullNCompare(const char *pszA, const char *pszB, int n, unsigned int nFlags)
{
    if (pszA == nullptr)
        return pszB == nullptr ? 0 : -1;
    if (pszB == nullptr)
        return 1;
    return STR_nNCompare(pszA, pszB, n, nFlags);
}

int STR_nEmptyNullCompare(const char *pszA, const char *pszB, unsigned int nFlags)
{
    const bool bVideA = pszA == nullptr || *pszA == 0;
    const bool bVideB = pszB == nullptr || *pszB == 0;
    if (bVideA)
        return bVideB ? 0 : -1;
    if (bVideB)
        return 1;
    return STR_nCompare(pszA, pszB, nFlags);
}

int STR_bDebut(const char *pszPrefix, const char *psz)
{
    if (pszPrefix == nullptr || psz == nullptr)
        return 0;
    const size_t nPrefix = strlen(pszPrefix);
    if (strlen(psz) < nPrefix)
        return 0;
    return STR_nNCompare(psz, pszPrefix, static_cast<int>(nPrefix), STR_MAP_STANDARD) == 0;
}

int STR_nCmpLogiqueAnsiFast(const char *pszA, const char *pszB)
{
    if (pszA == nullptr || pszB == nullptr)
        return pszA == pszB ? 0 : (pszA == nullptr ? -1 : 1);
    const unsigned char *a = reinterpret_cast<const unsigned char *>(pszA);
    const unsigned char *b = reinterpret_cast<const unsigned char *>(pszB);
    for (;; ++a, ++b) {
        const unsigned char ca = pToNoAccentUpper_Latin1[*a], cb = pToNoAccentUpper_Latin1[*b];
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
}

int STR_nCompareCharLexico(char a, char b, unsigned int nFlags)
{
    const uint16_t *pwOrder = STR_pstTables(nFlags)->pwCharOrder;
    return static_cast<int>(pwOrder[static_cast<unsigned char>(a)] & 0xFF) -
           static_cast<int>(pwOrder[static_cast<unsigned char>(b)] & 0xFF);
}

int STR_nCompareCharSouple(char a, char b)
{
    return static_cast<int>(pToNoAccentUpper_Latin1[static_cast<unsigned char>(a)]) -
           static_cast<int>(pToNoAccentUpper_Latin1[static_cast<unsigned char>(b)]);
}

namespace {

// Numeric-aware walk shared by the 8-bit and wide forms. Runs of decimal
// digits compare as numbers; a pair of equal numbers that differed only in
// leading zeros sets the tie value (-1 when a had the extra zeros).
template <typename C, typename FnChar>
int nCompareNumerique(const C *a, int nLenA, const C *b, int nLenB, FnChar fnChar)
{
    int i = 0, j = 0, nTie = 0;
    while (i < nLenA) {
        if (j >= nLenB)
            return 1;
        const unsigned int ca = static_cast<unsigned int>(a[i]), cb = static_cast<unsigned int>(b[j]);
        if (bDigit(ca) && bDigit(cb)) {
            int ei = i, ej = j;
            while (ei < nLenA && bDigit(static_cast<unsigned int>(a[ei])))
                ++ei;
            while (ej < nLenB && bDigit(static_cast<unsigned int>(b[ej])))
                ++ej;
            int pa = i, pb = j;
            int la = ei - i, lb = ej - j;
            for (; la > lb; --la, ++pa) {
                if (a[pa] != '0')
                    return 1;
            }
            for (; lb > la; --lb, ++pb) {
                if (b[pb] != '0')
                    return -1;
            }
            for (int k = 0; k < la; ++k) {
                if (a[pa + k] != b[pb + k])
                    return static_cast<unsigned int>(a[pa + k]) < static_cast<unsigned int>(b[pb + k]) ? -1 : 1;
            }
            if (nTie == 0 && ei - i != ej - j)
                nTie = ei - i > ej - j ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        const int d = fnChar(a[i], b[j]);
        if (d != 0)
            return d;
        ++i;
        ++j;
    }
    return j < nLenB ? -1 : nTie;
}

} // namespace

int STR_nCompareRespecteNumerique(const char *pA, int nLenA, const char *pB, int nLenB, unsigned int nFlags)
{
    nLenA = nLongueur(pA, nLenA);
    nLenB = nLongueur(pB, nLenB);
    if (nFlags & STR_CMP_LEXICO) {
        return nCompareNumerique(pA, nLenA, pB, nLenB,
                                 [nFlags](char a, char b) { return STR_nCompareCharLexico(a, b, nFlags); });
    }
    return nCompareNumerique(pA, nLenA, pB, nLenB, [](char a, char b) {
        return static_cast<int>(static_cast<unsigned char>(a)) - static_cast<int>(static_cast<unsigned char>(b));
    });
}

int STR_ChaineCompare(const char *pA, int nLenA, const char *pB, int nLenB, int nOptions)
{
    nLenA = nLongueur(pA, nLenA);
    nLenB = nLongueur(pB, nLenB);
    CTampon<char, 1024> tA(nLenA), tB(nLenB);
    if (tA.p() == nullptr || tB.p() == nullptr)
        return 0; // out of memory: no order can be told
    const int na = STR_PrepareChaine(tA.p(), pA, nLenA, nOptions);
    const int nb = STR_PrepareChaine(tB.p(), pB, nLenB, nOptions);
    const unsigned char *pa = reinterpret_cast<const unsigned char *>(tA.p());
    const unsigned char *pb = reinterpret_cast<const unsigned char *>(tB.p());
    const int nMin = na < nb ? na : nb;
    if (nOptions & QS_CMP_LEXICO) {
        if (nOptions & QS_CMP_NUMERIC)
            return STR_nCompareRespecteNumerique(tA.p(), na, tB.p(), nb, STR_CMP_LEXICO | STR_MAP_LOCAL);
        for (int i = 0; i < nMin; ++i) {
            const int d = STR_nCompareCharLexico(static_cast<char>(pa[i]), static_cast<char>(pb[i]), STR_MAP_LOCAL);
            if (d != 0)
                return d;
        }
    } else {
        if (nOptions & QS_CMP_NUMERIC)
            return STR_nCompareRespecteNumerique(tA.p(), na, tB.p(), nb, 0);
        for (int i = 0; i < nMin; ++i) {
            if (pa[i] != pb[i])
                return pa[i] < pb[i] ? -1 : 1;
        }
    }
    return na > nb ? 1 : (na < nb ? -1 : 0);
}

int STR_nCompareStringLexicoW(const wchar_t *pA, int nLenA, const wchar_t *pB, int nLenB, unsigned int)
{
    nLenA = nLongueur(pA, nLenA);
    nLenB = nLongueur(pB, nLenB);
    const int nMin = nLenA < nLenB ? nLenA : nLenB;
    if (nMin > 0) {
        const int d = memcmp(pA, pB, sizeof(wchar_t) * static_cast<size_t>(nMin));
        if (d != 0)
            return nSigne(d);
    }
    return nLenA > nLenB ? 1 : (nLenA < nLenB ? -1 : 0);
}

int STR_nCompareRespecteNumeriqueW(const wchar_t *pA, int nLenA, const wchar_t *pB, int nLenB, unsigned int nFlags)
{
    nLenA = nLongueur(pA, nLenA);
    nLenB = nLongueur(pB, nLenB);
    const bool bLexico = (nFlags & STR_CMP_LEXICO) != 0;
    return nCompareNumerique(pA, nLenA, pB, nLenB, [bLexico](wchar_t a, wchar_t b) {
        if (bLexico && bDigit(static_cast<unsigned int>(a)) != bDigit(static_cast<unsigned int>(b)))
            return -1;
        return nSigne(memcmp(&a, &b, sizeof(wchar_t)));
    });
}

int STR_nCompareCharLexicoW(wchar_t a, wchar_t b, unsigned int)
{
    return a == b ? 0 : -1;
}

int STR_nCompareCharSoupleW(wchar_t a, wchar_t b)
{
    return a == b ? 0 : -1;
}

int STR_ChaineCompareW(const wchar_t *pA, int nLenA, const wchar_t *pB, int nLenB, int nOptions)
{
    nLenA = nLongueur(pA, nLenA);
    nLenB = nLongueur(pB, nLenB);
    CTampon<wchar_t, 256> tA(nLenA), tB(nLenB);
    if (tA.p() == nullptr || tB.p() == nullptr)
        return 0;
    const int na = STR_PrepareChaineW(tA.p(), pA, nLenA, nOptions);
    const int nb = STR_PrepareChaineW(tB.p(), pB, nLenB, nOptions);
    const int nMin = na < nb ? na : nb;
    if (nOptions & QS_CMP_LEXICO) {
        if (nOptions & QS_CMP_NUMERIC)
            return STR_nCompareRespecteNumeriqueW(tA.p(), na, tB.p(), nb, STR_CMP_LEXICO | STR_MAP_LOCAL);
        for (int i = 0; i < nMin; ++i) {
            const int d = STR_nCompareCharLexicoW(tA.p()[i], tB.p()[i], STR_MAP_LOCAL);
            if (d != 0)
                return d;
        }
    } else {
        if (nOptions & QS_CMP_NUMERIC)
            return STR_nCompareRespecteNumeriqueW(tA.p(), na, tB.p(), nb, 0);
        const int d = STR_nCompareStringLexicoW(tA.p(), nMin, tB.p(), nMin, 0);
        if (d != 0)
            return d;
    }
    return na > nb ? 1 : (na < nb ? -1 : 0);
}

// STR_ family: classification, search, bounded copies, padding, ellipsis and
// trimming.
#include <cctype>
#include <cstring>
#include <cwctype>
#include <strings.h>

#include "strings/STR.h"

namespace {

inline unsigned char byUp(char c)
{
    return pToUpper_Latin1[static_cast<unsigned char>(c)];
}

// Length of psz, reading at most nMax bytes.
inline size_t nLenMax(const char *psz, size_t nMax)
{
    return strnlen(psz, nMax);
}

template <typename C> size_t nLenMaxT(const C *psz, size_t nMax)
{
    size_t n = 0;
    while (n < nMax && psz[n] != 0)
        ++n;
    return n;
}

template <typename C> int nCopyT(C *pszDst, int nSize, const C *pszSrc, int n)
{
    if (pszDst == nullptr || nSize <= 0)
        return 0;
    size_t nLen = 0;
    if (pszSrc != nullptr) {
        // Never read more of src than can be copied.
        size_t nMax = static_cast<size_t>(nSize - 1);
        if (n >= 0 && static_cast<size_t>(n) < nMax)
            nMax = static_cast<size_t>(n);
        nLen = nLenMaxT(pszSrc, nMax);
        memmove(pszDst, pszSrc, nLen * sizeof(C));
    }
    pszDst[nLen] = 0;
    return static_cast<int>(nLen);
}

template <typename C> int nCatT(C *pszDst, int nSize, const C *pszSrc, int n)
{
    if (pszDst == nullptr || nSize <= 0)
        return 0;
    const size_t nCur = nLenMaxT(pszDst, static_cast<size_t>(nSize));
    if (nCur >= static_cast<size_t>(nSize))
        return 0; // dst holds no terminator within its size: nothing fits
    return nCopyT(pszDst + nCur, nSize - static_cast<int>(nCur), pszSrc, n);
}

inline bool bSpace(char c)
{
    return isspace(static_cast<unsigned char>(c)) != 0;
}

} // namespace

// ---- Classification ---------------------------------------------------------

int STR_bWhiteCharOrPunct(char c)
{
    return (pbyCharType_Latin1[static_cast<unsigned char>(c)] & CHARTYPE_SEPARATOR) ? 1 : 0;
}

int STR_bWhiteCharOrPunctW(wchar_t)
{
    return 0;
}

int STR_bContainSpace(const char *psz)
{
    return psz != nullptr && strchr(psz, ' ') != nullptr;
}

int STR_bNeContientRienDeLisible(const char *psz)
{
    if (psz == nullptr)
        return 1;
    for (; *psz != 0; ++psz) {
        if (*psz != '\t' && *psz != '\n' && *psz != '\r' && *psz != ' ')
            return 0;
    }
    return 1;
}

int bEstUnChiffre(char c) { return c >= '0' && c <= '9'; }
int nGetChiffre(char c) { return c - '0'; }

int bEstUnNombreEntierNaturel(const char *psz)
{
    if (psz == nullptr)
        return 1;
    for (; *psz != 0; ++psz) {
        if (!bEstUnChiffre(*psz))
            return 0;
    }
    return 1;
}

int bExtendedASCII(char c) { return (static_cast<unsigned char>(c) & 0x80) != 0; }
int bMajuscule(char c) { return c >= 'A' && c <= 'Z'; }
int bMinuscule(char c) { return c >= 'a' && c <= 'z'; }
int bUnprintable(char c) { return static_cast<unsigned char>(c) < 0x20; }

int bPonctuation(char c)
{
    return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x5F);
}

int bEstDuTexteRTF(const char *psz)
{
    if (psz == nullptr)
        return 0;
    return strncasecmp(psz, "{\\rtf1", 6) == 0 || strncasecmp(psz, "{\\rtf{", 6) == 0;
}

// ---- Search ------------------------------------------------------------------

char *STR_pszUpStrstr(const char *psz, const char *pszSub)
{
    if (psz == nullptr || pszSub == nullptr)
        return nullptr;
    for (const char *p = psz;; ++p) {
        size_t k = 0;
        while (pszSub[k] != 0 && p[k] != 0 && byUp(p[k]) == byUp(pszSub[k]))
            ++k;
        if (pszSub[k] == 0)
            return const_cast<char *>(p);
        if (*p == 0)
            return nullptr;
    }
}

char *STR_StrIStr(const char *psz, const char *pszSub)
{
    if (psz == nullptr || pszSub == nullptr)
        return nullptr;
    const size_t nSub = strlen(pszSub);
    for (const char *p = psz;; ++p) {
        if (strncasecmp(p, pszSub, nSub) == 0)
            return const_cast<char *>(p);
        if (*p == 0)
            return nullptr;
    }
}

namespace {

// First occurrence lying within the first n characters of psz; reads no byte
// of psz at or beyond n.
char *pszStrnstr(const char *psz, const char *pszSub, int n, bool bIgnoreCase)
{
    if (psz == nullptr || pszSub == nullptr || n < 0)
        return nullptr;
    const size_t nLen = nLenMax(psz, static_cast<size_t>(n));
    const size_t nSub = strlen(pszSub);
    if (nSub > nLen)
        return nullptr;
    for (size_t i = 0; i + nSub <= nLen; ++i) {
        const int d = bIgnoreCase ? strncasecmp(psz + i, pszSub, nSub) : strncmp(psz + i, pszSub, nSub);
        if (d == 0)
            return const_cast<char *>(psz + i);
    }
    return nullptr;
}

char *pszRStr(const char *pData, int nLen, const char *pszSub)
{
    if (pData == nullptr || pszSub == nullptr || nLen <= 0 || *pszSub == 0)
        return nullptr;
    const size_t nSub = strlen(pszSub);
    for (int i = nLen - 1; i >= 0; --i) {
        // strncmp stops at the first difference, so a terminated text is
        // never read past its end.
        if (strncmp(pData + i, pszSub, nSub) == 0)
            return const_cast<char *>(pData + i);
    }
    return nullptr;
}

} // namespace

char *STR_strnistrA(const char *psz, const char *pszSub, int n)
{
    return pszStrnstr(psz, pszSub, n, true);
}

char *STR_strnstrA(const char *psz, const char *pszSub, int n)
{
    return pszStrnstr(psz, pszSub, n, false);
}

char *STRRSTR(const char *pData, int nLen, const char *pszSub)
{
    return pszRStr(pData, nLen, pszSub);
}

char *STRRSTRA(const char *pData, int nLen, const char *pszSub)
{
    return pszRStr(pData, nLen, pszSub);
}

char *STRRPBRK(const char *psz, const char *pszSet)
{
    if (psz == nullptr || pszSet == nullptr || *pszSet == 0)
        return nullptr;
    const char *pLast = nullptr;
    for (const char *p = psz; *p != 0; ++p) {
        if (strchr(pszSet, *p) != nullptr)
            pLast = p;
    }
    return const_cast<char *>(pLast);
}

int STR_nNbOccurrence(const char *psz, char c)
{
    if (psz == nullptr)
        return 0;
    int n = 0;
    for (; *psz != 0; ++psz) {
        if (*psz == c)
            ++n;
    }
    return n;
}

int STR_nLen(const char *psz, int n)
{
    if (psz == nullptr || n <= 0)
        return 0;
    return static_cast<int>(nLenMax(psz, static_cast<size_t>(n)));
}

int STR_nLenW(const wchar_t *psz, int n)
{
    if (psz == nullptr || n <= 0)
        return 0;
    return static_cast<int>(nLenMaxT(psz, static_cast<size_t>(n)));
}

// ---- Copy, concatenation, padding ----------------------------------------------

int STR_nCopy(char *pszDst, int nSize, const char *pszSrc, int n) { return nCopyT(pszDst, nSize, pszSrc, n); }
int STR_nCat(char *pszDst, int nSize, const char *pszSrc, int n) { return nCatT(pszDst, nSize, pszSrc, n); }
int STR_nCut(char *pszDst, int nSize, const char *pszSrc) { return nCopyT(pszDst, nSize, pszSrc, -1); }
int STR_nCatCut(char *pszDst, int nSize, const char *pszSrc) { return nCatT(pszDst, nSize, pszSrc, -1); }
int STR_nCopyW(wchar_t *pszDst, int nSize, const wchar_t *pszSrc, int n) { return nCopyT(pszDst, nSize, pszSrc, n); }
int STR_nCatW(wchar_t *pszDst, int nSize, const wchar_t *pszSrc, int n) { return nCatT(pszDst, nSize, pszSrc, n); }

int STR_Complete(char *psz, int nSize, char c)
{
    if (psz == nullptr || nSize <= 0)
        return 0;
    const size_t nFin = static_cast<size_t>(nSize - 1);
    for (size_t i = nLenMax(psz, nFin); i < nFin; ++i)
        psz[i] = c;
    psz[nFin] = 0;
    return nSize;
}

const char *STR_Ellipsis(char *pszDst, const char *pszSrc, int nMax, eELLIPSISPOSITION ePosition)
{
    if (nMax <= 2 || pszSrc == nullptr || pszDst == nullptr)
        return pszSrc;
    const size_t nLen = strlen(pszSrc);
    const size_t nTotal = static_cast<size_t>(nMax);
    if (nLen <= nTotal) {
        memcpy(pszDst, pszSrc, nLen + 1);
        return pszDst;
    }
    switch (ePosition) {
    case eELLIPSIS_FIN:
        memcpy(pszDst, pszSrc, nTotal - 3);
        memcpy(pszDst + nTotal - 3, "...", 4);
        break;
    case eELLIPSIS_MILIEU: {
        const size_t nDebut = (nTotal - 3) / 2, nFin = (nTotal - 2) / 2;
        memcpy(pszDst, pszSrc, nDebut);
        memcpy(pszDst + nDebut, "...", 3);
        memcpy(pszDst + nDebut + 3, pszSrc + nLen - nFin, nFin + 1);
        break;
    }
    case eELLIPSIS_DEBUT:
        memcpy(pszDst, "...", 3);
        memcpy(pszDst + 3, pszSrc + nLen - (nTotal - 3), nTotal - 3 + 1);
        break;
    default:
        // Unknown position: dst is left alone, so hand back the source
        // rather than an unwritten buffer.
        return pszSrc;
    }
    return pszDst;
}

// ---- Trimming ------------------------------------------------------------------

char *STR_SuppressLeftSpaces(char *psz)
{
    if (psz == nullptr)
        return psz;
    size_t n = 0;
    while (psz[n] != 0 && bSpace(psz[n]))
        ++n;
    if (n > 0)
        memmove(psz, psz + n, strlen(psz + n) + 1);
    return psz;
}

char *STR_SuppressRightSpaces(char *psz)
{
    if (psz == nullptr)
        return psz;
    size_t n = strlen(psz);
    while (n > 0 && bSpace(psz[n - 1]))
        --n;
    psz[n] = 0;
    return psz;
}

char *STR_SuppressSideSpaces(char *psz)
{
    return STR_SuppressLeftSpaces(STR_SuppressRightSpaces(psz));
}

char *STR_SuppressLeftSpacesA(char *psz) { return STR_SuppressLeftSpaces(psz); }
char *STR_SuppressRightSpacesA(char *psz) { return STR_SuppressRightSpaces(psz); }

wchar_t *STR_SuppressRightSpacesW(wchar_t *psz)
{
    if (psz == nullptr)
        return psz;
    size_t n = wcslen(psz);
    while (n > 0 && iswspace(static_cast<wint_t>(psz[n - 1])))
        --n;
    psz[n] = 0;
    return psz;
}

char *STR_SuppressAllSpaces(char *psz)
{
    if (psz == nullptr)
        return psz;
    char *pOut = psz;
    for (const char *p = psz; *p != 0; ++p) {
        if (!bSpace(*p))
            *pOut++ = *p;
    }
    *pOut = 0;
    return psz;
}

char *STR_SuppressLeftCar(char *psz, char c)
{
    if (psz == nullptr || c == 0)
        return psz;
    size_t n = 0;
    while (psz[n] == c)
        ++n;
    if (n > 0)
        memmove(psz, psz + n, strlen(psz + n) + 1);
    return psz;
}

char *STR_SuppressRightCar(char *psz, char c)
{
    if (psz == nullptr || c == 0)
        return psz;
    size_t n = strlen(psz);
    while (n > 0 && psz[n - 1] == c)
        --n;
    psz[n] = 0;
    return psz;
}

char *STR_SuppressSideCar(char *psz, char c)
{
    return STR_SuppressLeftCar(STR_SuppressRightCar(psz, c), c);
}

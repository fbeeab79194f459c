// STR_ family: heap texts (creation, concatenation, resizing, deletion) and
// wide replacement.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "strings/STR.h"

namespace {

template <typename C> C *pNouveau(unsigned long nLen)
{
    if (nLen >= ULONG_MAX / sizeof(C))
        return nullptr;
    C *p = static_cast<C *>(malloc((nLen + 1) * sizeof(C)));
    if (p != nullptr)
        p[0] = 0;
    return p;
}

template <typename C> size_t nLongueur(const C *psz)
{
    size_t n = 0;
    if (psz != nullptr) {
        while (psz[n] != 0)
            ++n;
    }
    return n;
}

// Concatenation of up to three texts (null counts as "").
template <typename C> C *pConcat(const C *a, const C *b, const C *c)
{
    const size_t na = nLongueur(a), nb = nLongueur(b), nc = nLongueur(c);
    C *p = pNouveau<C>(na + nb + nc);
    if (p == nullptr)
        return nullptr;
    if (na)
        memcpy(p, a, na * sizeof(C));
    if (nb)
        memcpy(p + na, b, nb * sizeof(C));
    if (nc)
        memcpy(p + na + nb, c, nc * sizeof(C));
    p[na + nb + nc] = 0;
    return p;
}

template <typename C> C *pCopieN(unsigned int nLen, const C *psz)
{
    C *p = pNouveau<C>(nLen);
    if (p == nullptr)
        return nullptr;
    size_t i = 0;
    if (psz != nullptr) {
        for (; i < nLen && psz[i] != 0; ++i)
            p[i] = psz[i];
    }
    for (; i <= nLen; ++i)
        p[i] = 0;
    return p;
}

} // namespace

char *STR_pszCreate(unsigned int nLen) { return pNouveau<char>(nLen); }
char *STR_pszCreateA(unsigned long nLen) { return pNouveau<char>(nLen); }
wchar_t *STR_pszCreateW(unsigned long nLen) { return pNouveau<wchar_t>(nLen); }

char *STR_pszCreate(const char *psz)
{
    return psz != nullptr ? pConcat<char>(psz, nullptr, nullptr) : nullptr;
}

char *STR_pszCreateA(const char *psz) { return STR_pszCreate(psz); }

wchar_t *STR_pszCreateW(const wchar_t *psz)
{
    return psz != nullptr ? pConcat<wchar_t>(psz, nullptr, nullptr) : nullptr;
}

char *STR_pszCreate(unsigned int nLen, const char *psz) { return pCopieN(nLen, psz); }
wchar_t *STR_pszCreateW(unsigned int nLen, const wchar_t *psz) { return pCopieN(nLen, psz); }
char *STR_pszCreate(const char *pszA, const char *pszB) { return pConcat<char>(pszA, pszB, nullptr); }
wchar_t *STR_pszCreateW(const wchar_t *pszA, const wchar_t *pszB) { return pConcat<wchar_t>(pszA, pszB, nullptr); }
char *STR_pszConcat(const char *pszA, const char *pszB, const char *pszC) { return pConcat(pszA, pszB, pszC); }

char *STR_pszConcatPoint(const char *pszA, const char *pszB)
{
    return pConcat(pszA, ".", pszB);
}

int STR_bRedefine(char **ppsz, const char *psz)
{
    if (ppsz == nullptr)
        return 0;
    // Copy before freeing: psz may be the old text itself.
    char *pNew = STR_pszCreate(psz);
    free(*ppsz);
    *ppsz = pNew;
    return pNew != nullptr;
}

int STR_bResize(char **ppsz, long nSize)
{
    if (ppsz == nullptr || nSize <= 0)
        return 0;
    char *p = static_cast<char *>(realloc(*ppsz, static_cast<size_t>(nSize)));
    if (p == nullptr)
        return 0;
    *ppsz = p;
    return 1;
}

void STR_Delete(void *p) { free(p); }
void STR_DeleteA(void *p) { free(p); }
void STR_DeleteW(void *p) { free(p); }

wchar_t *STR_RemplaceW(const wchar_t *psz, const wchar_t *pszFrom, const wchar_t *pszTo)
{
    if (psz == nullptr || *psz == 0 || pszFrom == nullptr || *pszFrom == 0)
        return nullptr;
    if (pszTo == nullptr)
        pszTo = L"";
    const size_t nFrom = wcslen(pszFrom), nTo = wcslen(pszTo);
    size_t nCount = 0;
    for (const wchar_t *p = wcsstr(psz, pszFrom); p != nullptr; p = wcsstr(p + nFrom, pszFrom))
        ++nCount;
    const size_t nLen = wcslen(psz) - nCount * nFrom + nCount * nTo;
    wchar_t *pOut = pNouveau<wchar_t>(nLen);
    if (pOut == nullptr)
        return nullptr;
    wchar_t *pDst = pOut;
    const wchar_t *pSrc = psz;
    for (const wchar_t *p = wcsstr(pSrc, pszFrom); p != nullptr; p = wcsstr(pSrc, pszFrom)) {
        wmemcpy(pDst, pSrc, static_cast<size_t>(p - pSrc));
        pDst += p - pSrc;
        wmemcpy(pDst, pszTo, nTo);
        pDst += nTo;
        pSrc = p + nFrom;
    }
    wcscpy(pDst, pSrc);
    return pOut;
}

// STR_ family: conversions between 8-bit text in a code page, wide text and
// UTF-8, into new heap buffers.
#include <cstdlib>
#include <cstring>

#include "charset/GestionMultilangue.h"
#include "charset/xEmulUnicode.h"
#include "strings/STR.h"

namespace {

unsigned int dwCodePageCourant()
{
    return dwGetCodePageFromCharset(STR_nGetCurrentChangeCharset());
}

template <typename C> int bEchec(C **ppOut, int *pnOutLen, void *pBuffer)
{
    free(pBuffer);
    if (ppOut != nullptr)
        *ppOut = nullptr;
    if (pnOutLen != nullptr)
        *pnOutLen = 0;
    return 0;
}

} // namespace

int __STR_WCharToChar(const wchar_t *pwsz, int n, char **ppszOut, int *pnOutLen, unsigned int nCodePage)
{
    if (pwsz == nullptr || ppszOut == nullptr || pnOutLen == nullptr || n < -1)
        return bEchec(ppszOut, pnOutLen, nullptr);
    if (n == 0) {
        *ppszOut = STR_pszCreate("");
        *pnOutLen = 0;
        return *ppszOut != nullptr ? 1 : bEchec(ppszOut, pnOutLen, nullptr);
    }
    const int nMesure = WideCharToMultiByte(nCodePage, 0, pwsz, n, nullptr, 0, nullptr, nullptr);
    if (nMesure <= 0)
        return bEchec(ppszOut, pnOutLen, nullptr);
    char *p = static_cast<char *>(malloc(static_cast<size_t>(nMesure) + 1));
    if (p == nullptr)
        return bEchec(ppszOut, pnOutLen, nullptr);
    const int nFait = WideCharToMultiByte(nCodePage, 0, pwsz, n, p, nMesure, nullptr, nullptr);
    if (nFait <= 0 || nFait > nMesure)
        return bEchec(ppszOut, pnOutLen, p);
    p[nFait] = 0;
    *ppszOut = p;
    *pnOutLen = nFait;
    return 1;
}

int STR_WCharToChar_AnyCodepage(const wchar_t *pwsz, int n, char **ppszOut, int *pnOutLen, unsigned int nCodePage)
{
    return __STR_WCharToChar(pwsz, n, ppszOut, pnOutLen, nCodePage);
}

int __STR_CharToWChar(const char *psz, int n, unsigned int nCodePage, wchar_t **ppwszOut, int *pnOutLen,
                      unsigned int nFlags)
{
    if (psz == nullptr || ppwszOut == nullptr || pnOutLen == nullptr || n < -1)
        return bEchec(ppwszOut, pnOutLen, nullptr);
    if (n == 0) {
        *ppwszOut = STR_pszCreateW(0ul);
        *pnOutLen = 0;
        return *ppwszOut != nullptr ? 1 : bEchec(ppwszOut, pnOutLen, nullptr);
    }
    const int nMesure = MultiByteToWideChar(nCodePage, nFlags, psz, n, nullptr, 0);
    if (nMesure <= 0)
        return bEchec(ppwszOut, pnOutLen, nullptr);
    wchar_t *p = static_cast<wchar_t *>(malloc((static_cast<size_t>(nMesure) + 1) * sizeof(wchar_t)));
    if (p == nullptr)
        return bEchec(ppwszOut, pnOutLen, nullptr);
    const int nFait = MultiByteToWideChar(nCodePage, nFlags, psz, n, p, nMesure);
    if (nFait <= 0 || nFait > nMesure)
        return bEchec(ppwszOut, pnOutLen, p);
    p[nFait] = 0;
    *ppwszOut = p;
    *pnOutLen = nFait;
    return 1;
}

int STR_CharToWChar_AnyCodepage(const char *psz, int n, unsigned int nCodePage, wchar_t **ppwszOut, int *pnOutLen,
                                unsigned int nFlags)
{
    if (nCodePage != 65001)
        nFlags |= 1; // precomposed characters
    return __STR_CharToWChar(psz, n, nCodePage, ppwszOut, pnOutLen, nFlags);
}

int STR_CharToWChar(wchar_t **ppwszOut, const char *psz)
{
    int nLen = 0;
    return __STR_CharToWChar(psz, -1, 1252, ppwszOut, &nLen, 9);
}

wchar_t STR_CharToWChar(char c, unsigned int nFlags, unsigned int nCodePage)
{
    wchar_t w = 0;
    if (MultiByteToWideChar(nCodePage, nFlags, &c, 1, &w, 1) != 1)
        return 0;
    return w;
}

int STR_CharToWChar_CurrentCharset(const char *psz, int n, wchar_t **ppwszOut, int *pnOutLen, unsigned int nFlags)
{
    if (psz == nullptr) {
        bEchec(ppwszOut, pnOutLen, nullptr);
        return 1;
    }
    return STR_CharToWChar_AnyCodepage(psz, n, dwCodePageCourant(), ppwszOut, pnOutLen, nFlags);
}

int STR_WCharToChar_CurrentCharset(const wchar_t *pwsz, int n, char **ppszOut, int *pnOutLen)
{
    if (pwsz == nullptr) {
        bEchec(ppszOut, pnOutLen, nullptr);
        return 1;
    }
    return __STR_WCharToChar(pwsz, n, ppszOut, pnOutLen, dwCodePageCourant());
}

int STR_CharToChar_AnyCodepage(const char *psz, int n, unsigned int nCodePageFrom, char **ppszOut, int *pnOutLen,
                               unsigned int nCodePageTo)
{
    if (psz == nullptr || ppszOut == nullptr || pnOutLen == nullptr || n < -1)
        return bEchec(ppszOut, pnOutLen, nullptr);
    if (nCodePageFrom == nCodePageTo) {
        // The copy is terminated as well, so it can serve as a text.
        const size_t nLen = n == -1 ? strlen(psz) : static_cast<size_t>(n);
        char *p = static_cast<char *>(malloc(nLen + 1));
        if (p == nullptr)
            return bEchec(ppszOut, pnOutLen, nullptr);
        memcpy(p, psz, nLen);
        p[nLen] = 0;
        *ppszOut = p;
        *pnOutLen = static_cast<int>(nLen);
        return 1;
    }
    wchar_t *pw = nullptr;
    int nw = 0;
    if (!__STR_CharToWChar(psz, n, nCodePageFrom, &pw, &nw, 0))
        return bEchec(ppszOut, pnOutLen, nullptr);
    const int bOk = __STR_WCharToChar(pw, nw, ppszOut, pnOutLen, nCodePageTo);
    free(pw);
    return bOk;
}

char *STR_pszCreateToXUTF8(const char *psz)
{
    char *p = nullptr;
    int n = 0;
    STR_CharToChar_AnyCodepage(psz, -1, 0, &p, &n, 65001);
    return p;
}

char *STR_pszCreateFromXUTF8(const char *psz)
{
    char *p = nullptr;
    int n = 0;
    STR_CharToChar_AnyCodepage(psz, -1, 65001, &p, &n, 0);
    return p;
}

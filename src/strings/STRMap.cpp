// STR_ family: character mapping (case, accents, separators), sort keys and
// the preparation of texts for the language comparisons.
#include <cstdlib>
#include <cstring>

#include "platform/EmuleUSER32.h"
#include "strings/STR.h"
#include "strings/STRInterne.h"

const _stCHARTAB *STR_pstTables(unsigned int nFlags)
{
    return (nFlags & STR_MAP_LOCAL) ? STR_pstGetCharTabLocal() : &gstCharTab;
}

namespace {

// Maps one byte with the low two bits of a mapping value.
inline unsigned char byMap(const _stCHARTAB *pst, const unsigned char *pbyCase, unsigned int nMode, unsigned char c)
{
    switch (nMode & 3) {
    case 1:
        return pbyCase[c];
    case 2:
        return pst->pbyToNoAccent[c];
    case 3:
        return pbyCase[pst->pbyToNoAccent[c]];
    default:
        return c;
    }
}

} // namespace

int STR_nMapStringEx(unsigned int nFlags, char *pszDst, int nSize, const char *pszSrc, int nLen, int bUpper)
{
    if (pszDst == nullptr || nSize <= 0)
        return 0;
    const unsigned int nMode = nFlags & ~static_cast<unsigned int>(STR_MAP_LOCAL);
    // -1 is "no limit"; any other length below 1 maps nothing.
    if (nMode > 7 || pszSrc == nullptr || nLen == 0 || nLen < -1) {
        pszDst[0] = 0;
        return 0;
    }
    const _stCHARTAB *pst = STR_pstTables(nFlags);
    const unsigned char *pbyCase = bUpper ? pst->pbyToUpper : pst->pbyToLower;
    const unsigned char *pbyType = pst->pbyCharType;
    const bool bDrop = (nMode & STR_MAP_DROPSEP) != 0;
    const unsigned char *pbySrc = reinterpret_cast<const unsigned char *>(pszSrc);
    // Reads stay behind writes, so dst may be src (in-place mapping).
    int nRead = 0, nWritten = 0;
    while ((nLen == -1 || nRead < nLen) && nWritten < nSize - 1) {
        const unsigned char c = pbySrc[nRead];
        if (c == 0)
            break;
        ++nRead;
        if (bDrop && (pbyType[c] & CHARTYPE_SEPARATOR))
            continue;
        pszDst[nWritten++] = static_cast<char>(byMap(pst, pbyCase, nMode, c));
    }
    pszDst[nWritten] = 0;
    return nWritten;
}

int STR_nGetMapStringLenEx(unsigned int nFlags, const char *pszSrc, int nLen)
{
    const unsigned int nMode = nFlags & ~static_cast<unsigned int>(STR_MAP_LOCAL);
    if (nMode > 7 || pszSrc == nullptr || nLen == 0 || nLen < -1)
        return 1;
    const unsigned char *pbyType = STR_pstTables(nFlags)->pbyCharType;
    const bool bDrop = (nMode & STR_MAP_DROPSEP) != 0;
    const unsigned char *pbySrc = reinterpret_cast<const unsigned char *>(pszSrc);
    int nKept = 0;
    for (int i = 0; (nLen == -1 || i < nLen) && pbySrc[i] != 0; ++i) {
        if (!bDrop || !(pbyType[pbySrc[i]] & CHARTYPE_SEPARATOR))
            ++nKept;
    }
    return nKept + 1;
}

int STR_nCreateMapString(unsigned int nFlags, char **ppszOut, const char *pszSrc)
{
    if (ppszOut == nullptr)
        return 0;
    const int nSize = STR_nGetMapStringLenEx(nFlags, pszSrc, -1);
    *ppszOut = static_cast<char *>(malloc(static_cast<size_t>(nSize)));
    if (*ppszOut == nullptr)
        return 0;
    return STR_nMapStringEx(nFlags, *ppszOut, nSize, pszSrc, -1, 1);
}

char *STR_pszCreateStandard(const char *pszSrc)
{
    char *psz = nullptr;
    STR_nCreateMapString(STR_MAP_STANDARD, &psz, pszSrc);
    return psz;
}

int STR_nMapCharEx(unsigned int nFlags, char *pcOut, char c, int bUpper)
{
    const unsigned int nMode = nFlags & ~static_cast<unsigned int>(STR_MAP_LOCAL);
    if (nMode > 7 || pcOut == nullptr)
        return 0;
    const _stCHARTAB *pst = STR_pstTables(nFlags);
    const unsigned char by = static_cast<unsigned char>(c);
    if ((nMode & STR_MAP_DROPSEP) && (pst->pbyCharType[by] & CHARTYPE_SEPARATOR))
        return 0;
    *pcOut = static_cast<char>(byMap(pst, bUpper ? pst->pbyToUpper : pst->pbyToLower, nMode, by));
    return 1;
}

int STR_nMapCharIgnoreCaseAccent(char *pcOut, char c)
{
    if (pcOut == nullptr)
        return 0;
    *pcOut = static_cast<char>(pToNoAccentUpper_Latin1[static_cast<unsigned char>(c)]);
    return 1;
}

int STR_nTransforme(unsigned int nFlags, char *pszDst, int nSize, const char *pszSrc, int nLen)
{
    if (nFlags < 0x800 || nFlags > 0x803)
        return STR_nMapStringEx(nFlags, pszDst, nSize, pszSrc, nLen, 1);
    if (pszDst == nullptr || nSize <= 0)
        return 0;
    if (pszSrc == nullptr || nLen == 0 || nLen < -1) {
        pszDst[0] = 0;
        return 0;
    }
    const unsigned int nMode = nFlags & 3;
    const unsigned char *pbySrc = reinterpret_cast<const unsigned char *>(pszSrc);
    int nRead = 0, nWritten = 0;
    while ((nLen == -1 || nRead < nLen) && nWritten < nSize - 1) {
        const unsigned char c = pbySrc[nRead];
        if (c == 0)
            break;
        ++nRead;
        if (pbyCharType_Latin1[c] & CHARTYPE_SPACE)
            continue;
        pszDst[nWritten++] = static_cast<char>(byMap(&gstCharTab, pToUpper_Latin1, nMode, c));
    }
    pszDst[nWritten] = 0;
    return nWritten;
}

int STR_MapStringSortEx(char *pDst, int nSize, const char *pszSrc, int nLen, int bLocal)
{
    if (pDst == nullptr || nSize <= 0)
        return 0;
    const uint16_t *pwOrder = bLocal ? STR_pstGetCharTabLocal()->pwCharOrder : pwCharOrder_Latin1;
    int nMax = nLen == -1 ? nSize : (nLen < nSize ? nLen : nSize);
    if (pszSrc == nullptr || nMax < 0)
        nMax = 0;
    const unsigned char *pbySrc = reinterpret_cast<const unsigned char *>(pszSrc);
    int i = 0;
    for (; i < nMax && pbySrc[i] != 0; ++i)
        pDst[i] = static_cast<char>(pwOrder[pbySrc[i]] & 0xFF);
    memset(pDst + i, 0, static_cast<size_t>(nSize - i));
    return i;
}

char *STR_ToUpper(char *psz)
{
    if (psz != nullptr)
        nEmule_CharUpperA(psz);
    return psz;
}

char *STR_ToLower(char *psz)
{
    if (psz != nullptr)
        nEmule_CharLowerA(psz);
    return psz;
}

unsigned int OptionQS2FlagSTR(int nOptions)
{
    unsigned int nFlags = 0;
    if (nOptions & QS_CMP_NOPUNCT)
        nFlags |= STR_MAP_DROPSEP;
    if (nOptions & QS_CMP_NOACCENT)
        nFlags |= STR_MAP_NOACCENT;
    if (nOptions & (QS_CMP_NOCASE | QS_CMP_NOCASE2 | QS_CMP_NOCASE_LOWER))
        nFlags |= STR_MAP_CASE;
    return nFlags;
}

namespace {
inline bool bTrimSpace(unsigned char c)
{
    return (c >= 9 && c <= 13) || c == ' ';
}
} // namespace

int STR_PrepareChaine(char *pDst, const char *pSrc, int nCount, int nOptions)
{
    if (pSrc == nullptr || nCount <= 0)
        return 0;
    const unsigned char *pbySrc = reinterpret_cast<const unsigned char *>(pSrc);
    int nDebut = 0, nFin = nCount;
    if (nOptions & QS_CMP_TRIM) {
        while (nDebut < nFin && bTrimSpace(pbySrc[nDebut]))
            ++nDebut;
        while (nFin > nDebut && bTrimSpace(pbySrc[nFin - 1]))
            --nFin;
    }
    const unsigned int nFlags = OptionQS2FlagSTR(nOptions) | STR_MAP_LOCAL;
    const int bUpper = (nOptions & QS_CMP_NOCASE_LOWER) ? 0 : 1;
    int nWritten = 0;
    for (int i = nDebut; i < nFin; ++i) {
        if (STR_nMapCharEx(nFlags, pDst + nWritten, static_cast<char>(pbySrc[i]), bUpper))
            ++nWritten;
    }
    return nWritten;
}

int STR_PrepareChaineW(wchar_t *, const wchar_t *, int, int)
{
    // Wide texts have no preparation: every character is left out.
    return 0;
}

// Character set, code page and language tables.
#include "charset/GestionMultilangue.h"

#include <clocale>
#include <cstdio>

namespace {

struct stCHARSET {
    int nCharset;
    unsigned int dwCodePage;
    unsigned short wLanguage;
};

const stCHARSET gtabCharset[] = {
    {0, 1252, 0},      {128, 932, 17},    {129, 949, 18},    {130, 1361, 18},  {134, 936, 2052},
    {136, 950, 1028},  {161, 1253, 8},    {162, 1254, 31},   {163, 1258, 42},  {177, 1255, 13},
    {178, 1256, 1},    {186, 1257, 37},   {204, 1251, 1049}, {222, 874, 30},   {238, 1250, 21},
    {255, 1252, 0},    {65001, 65001, 0},
};

const stCHARSET *pstTrouve(int nCharset)
{
    for (const stCHARSET &st : gtabCharset) {
        if (st.nCharset == nCharset)
            return &st;
    }
    return nullptr;
}

} // namespace

unsigned int dwGetCodePageFromCharset(int nCharset)
{
    const stCHARSET *pst = pstTrouve(nCharset);
    return pst != nullptr ? pst->dwCodePage : 0;
}

unsigned short wGetLanguageID(int nCharset)
{
    const stCHARSET *pst = pstTrouve(nCharset);
    return pst != nullptr ? pst->wLanguage : 0;
}

unsigned char nGetCharsetFromLanguage(unsigned short wLanguageId)
{
    const unsigned int nPrimary = wLanguageId & 0x3FF;
    const unsigned int nSub = wLanguageId >> 10;
    switch (nPrimary) {
    case 1:
        return 178;
    case 2: case 25: case 34: case 35:
        return 204;
    case 4:
        return nSub == 1 ? 136 : 134;
    case 5: case 14: case 21: case 24: case 27: case 28: case 36: case 47:
        return 238;
    case 8:
        return 161;
    case 13:
        return 177;
    case 17:
        return 128;
    case 18:
        return 129;
    case 26:
        return nSub == 3 ? 204 : 238;
    case 30:
        return 222;
    case 31:
        return 162;
    case 37: case 38: case 39:
        return 186;
    case 42:
        return 163;
    case 43: case 55:
        return 233;
    case 67:
        return nSub == 2 ? 204 : 238;
    default:
        return 0;
    }
}

unsigned int GetCharSetFromLanguageID(unsigned int nLanguageId)
{
    return nGetCharsetFromLanguage(static_cast<unsigned short>(nLanguageId));
}

const char *pszGetLocaleName(int nCharset)
{
    switch (nCharset) {
    case 161:
        return "greek_greece";
    case 162:
        return "turkey_turkish";
    case 177: case 178:
        return "";
    case 204:
        return "russian_russia";
    default:
        return nullptr;
    }
}

intptr_t ChangeLocale(int nCharset)
{
    const unsigned int dwCodePage = dwGetCodePageFromCharset(nCharset);
    if (dwCodePage == 0)
        return 0;
    const char *pszName = pszGetLocaleName(nCharset);
    if (pszName == nullptr)
        return static_cast<intptr_t>(dwCodePage);
    char szLocale[260];
    snprintf(szLocale, sizeof szLocale, "%s.%u", pszName, dwCodePage);
    return reinterpret_cast<intptr_t>(setlocale(LC_ALL, szLocale));
}

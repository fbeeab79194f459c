// Character set, code page and language tables; the locale switch.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

#include "charset/GestionMultilangue.h"

TEST(GestionMultilangue, CharsetTables)
{
    struct {
        int nCharset;
        unsigned int dwCodePage;
        unsigned short wLangue;
    } const tab[] = {
        {0, 1252, 0},     {128, 932, 17},   {129, 949, 18},    {130, 1361, 18}, {134, 936, 2052}, {136, 950, 1028},
        {161, 1253, 8},   {162, 1254, 31},  {163, 1258, 42},   {177, 1255, 13}, {178, 1256, 1},   {186, 1257, 37},
        {204, 1251, 1049}, {222, 874, 30},  {238, 1250, 21},   {255, 1252, 0},  {65001, 65001, 0},
    };
    for (const auto &l : tab) {
        EXPECT_EQ(dwGetCodePageFromCharset(l.nCharset), l.dwCodePage) << l.nCharset;
        EXPECT_EQ(wGetLanguageID(l.nCharset), l.wLangue) << l.nCharset;
    }
    for (int nAutre : {1, 2, 127, 233, 256, -1, 65000})
        EXPECT_EQ(dwGetCodePageFromCharset(nAutre), 0u) << nAutre;
    EXPECT_EQ(wGetLanguageID(233), 0);
}

TEST(GestionMultilangue, CharsetOfLanguage)
{
    auto lang = [](unsigned nPrimaire, unsigned nSous) {
        return nGetCharsetFromLanguage(static_cast<unsigned short>(nPrimaire | (nSous << 10)));
    };
    EXPECT_EQ(nGetCharsetFromLanguage(0x0404), 136);
    EXPECT_EQ(nGetCharsetFromLanguage(0x0804), 134);
    EXPECT_EQ(lang(1, 1), 178);
    for (unsigned p : {2u, 25u, 34u, 35u})
        EXPECT_EQ(lang(p, 1), 204) << p;
    for (unsigned p : {5u, 14u, 21u, 24u, 27u, 28u, 36u, 47u})
        EXPECT_EQ(lang(p, 1), 238) << p;
    EXPECT_EQ(lang(8, 1), 161);
    EXPECT_EQ(lang(13, 1), 177);
    EXPECT_EQ(lang(17, 1), 128);
    EXPECT_EQ(lang(18, 1), 129);
    EXPECT_EQ(lang(26, 3), 204);
    EXPECT_EQ(lang(26, 2), 238);
    EXPECT_EQ(lang(30, 1), 222);
    EXPECT_EQ(lang(31, 1), 162);
    for (unsigned p : {37u, 38u, 39u})
        EXPECT_EQ(lang(p, 1), 186) << p;
    EXPECT_EQ(lang(42, 1), 163);
    EXPECT_EQ(lang(43, 1), 233);
    EXPECT_EQ(lang(55, 1), 233);
    EXPECT_EQ(lang(67, 2), 204);
    EXPECT_EQ(lang(67, 1), 238);
    EXPECT_EQ(lang(9, 1), 0);
    EXPECT_EQ(lang(12, 1), 0);
    // The sublanguage is only the high six bits.
    EXPECT_EQ(lang(4, 33), 134);
    // Widened without sign.
    EXPECT_EQ(GetCharSetFromLanguageID(0x0419), 204u);
    EXPECT_EQ(GetCharSetFromLanguageID(0x0404), 136u);
    EXPECT_EQ(GetCharSetFromLanguageID(0x10404), 136u);
}

TEST(GestionMultilangue, ChangeLocale)
{
    const std::string sAvant = setlocale(LC_ALL, nullptr);
    EXPECT_EQ(ChangeLocale(0), 1252);
    EXPECT_EQ(ChangeLocale(255), 1252);
    EXPECT_EQ(ChangeLocale(128), 932);
    EXPECT_EQ(ChangeLocale(1), 0);
    EXPECT_EQ(sAvant, setlocale(LC_ALL, nullptr));

    EXPECT_STREQ(pszGetLocaleName(204), "russian_russia");
    EXPECT_STREQ(pszGetLocaleName(161), "greek_greece");
    EXPECT_STREQ(pszGetLocaleName(162), "turkey_turkish");
    EXPECT_STREQ(pszGetLocaleName(177), "");
    EXPECT_STREQ(pszGetLocaleName(178), "");
    EXPECT_EQ(pszGetLocaleName(0), nullptr);
    // Such a locale is rarely installed: then setlocale answers null and the
    // locale stays as it was.
    const char *pszRes = reinterpret_cast<const char *>(ChangeLocale(204));
    if (pszRes == nullptr)
        EXPECT_EQ(sAvant, setlocale(LC_ALL, nullptr));
    else
        EXPECT_NE(strstr(pszRes, "russian_russia.1251"), nullptr);
    setlocale(LC_ALL, sAvant.c_str());
}

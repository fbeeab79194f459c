// STR_ family: classification, search, bounded copies, ellipsis, trimming,
// heap texts and code page conversions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "strings/STR.h"

TEST(STRTexte, Classification)
{
    EXPECT_TRUE(STR_bWhiteCharOrPunct(','));
    EXPECT_TRUE(STR_bWhiteCharOrPunct('\xA0'));
    EXPECT_FALSE(STR_bWhiteCharOrPunct('a'));
    EXPECT_FALSE(STR_bWhiteCharOrPunct('\xE9'));
    EXPECT_FALSE(STR_bWhiteCharOrPunct('\0'));
    EXPECT_TRUE(STR_bContainSpace("a b"));
    EXPECT_FALSE(STR_bContainSpace("a\tb"));
    EXPECT_FALSE(STR_bContainSpace(nullptr));
    EXPECT_TRUE(STR_bNeContientRienDeLisible(""));
    EXPECT_TRUE(STR_bNeContientRienDeLisible(" \t\r\n"));
    EXPECT_FALSE(STR_bNeContientRienDeLisible(" \v"));
    EXPECT_FALSE(STR_bNeContientRienDeLisible(" x"));
    EXPECT_TRUE(bEstUnChiffre('7'));
    EXPECT_FALSE(bEstUnChiffre('\xB2'));
    EXPECT_EQ(nGetChiffre('7'), 7);
    EXPECT_TRUE(bEstUnNombreEntierNaturel(""));
    EXPECT_TRUE(bEstUnNombreEntierNaturel("0123"));
    EXPECT_FALSE(bEstUnNombreEntierNaturel("-1"));
    EXPECT_FALSE(bEstUnNombreEntierNaturel("12 "));
    EXPECT_TRUE(bExtendedASCII('\x80'));
    EXPECT_FALSE(bExtendedASCII('\x7F'));
    EXPECT_TRUE(bMajuscule('Z'));
    EXPECT_FALSE(bMajuscule('\xC9'));
    EXPECT_TRUE(bMinuscule('a'));
    EXPECT_FALSE(bMinuscule('A'));
    EXPECT_TRUE(bUnprintable('\x1F'));
    EXPECT_FALSE(bUnprintable(' '));
    EXPECT_FALSE(bUnprintable('\xE9')); // a high byte is printable
    for (int c = 0; c < 256; ++c) {
        const bool bAttendu = (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x5F);
        EXPECT_EQ(bPonctuation(static_cast<char>(c)) != 0, bAttendu) << c;
    }
    EXPECT_TRUE(bEstDuTexteRTF("{\\rtf1\\ansi"));
    EXPECT_TRUE(bEstDuTexteRTF("{\\RTF{"));
    EXPECT_FALSE(bEstDuTexteRTF("{\\rtf2"));
    EXPECT_FALSE(bEstDuTexteRTF("{\\rt"));
    EXPECT_FALSE(bEstDuTexteRTF(nullptr));
}

TEST(STRTexte, Search)
{
    const char *psz = "Caf\xE9 cr\xE8me";
    EXPECT_EQ(STR_pszUpStrstr(psz, "\xC9 CR"), psz + 3);
    EXPECT_EQ(STR_pszUpStrstr(psz, "ME"), psz + 8);
    EXPECT_EQ(STR_pszUpStrstr(psz, "MEX"), nullptr);
    EXPECT_EQ(STR_pszUpStrstr(psz, ""), psz);
    const char *pszHello = "Hello World";
    EXPECT_EQ(STR_StrIStr(pszHello, "WORLD"), pszHello + 6);
    EXPECT_EQ(STR_StrIStr(pszHello, ""), pszHello);
    EXPECT_EQ(STR_StrIStr(pszHello, "worlds"), nullptr);

    const char *pszAbc = "abCDef";
    EXPECT_EQ(STR_strnstrA(pszAbc, "CD", 4), pszAbc + 2);
    EXPECT_EQ(STR_strnstrA(pszAbc, "CD", 3), nullptr);
    EXPECT_EQ(STR_strnstrA(pszAbc, "cd", 6), nullptr);
    EXPECT_EQ(STR_strnistrA(pszAbc, "cd", 4), pszAbc + 2);
    EXPECT_EQ(STR_strnistrA(pszAbc, "", 0), pszAbc);
    EXPECT_EQ(STR_strnistrA(pszAbc, "a", -1), nullptr);
    // A buffer without terminator is not read beyond n.
    const char byBuf[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(STR_strnstrA(byBuf, "cd", 4), byBuf + 2);
    EXPECT_EQ(STR_strnistrA(byBuf, "CDE", 4), nullptr);

    const char *pszData = "abcabc";
    EXPECT_EQ(STRRSTR(pszData, 6, "abc"), pszData + 3);
    EXPECT_EQ(STRRSTR(pszData, 2, "abc"), pszData);
    EXPECT_EQ(STRRSTRA(pszData, 4, "bc"), pszData + 1);
    EXPECT_EQ(STRRSTR(pszData, 6, "abd"), nullptr);
    EXPECT_EQ(STRRSTR(pszData, 0, "a"), nullptr);
    EXPECT_EQ(STRRSTR(pszData, 6, ""), nullptr);

    const char *pszSep = "a,b;c";
    EXPECT_EQ(STRRPBRK(pszSep, ",;"), pszSep + 3);
    EXPECT_EQ(STRRPBRK(pszSep, ""), nullptr);
    EXPECT_EQ(STRRPBRK(pszSep, "x"), nullptr);
    EXPECT_EQ(STR_nNbOccurrence("banana", 'a'), 3);
    EXPECT_EQ(STR_nNbOccurrence(nullptr, 'a'), 0);
    EXPECT_EQ(STR_nLen("abc", 2), 2);
    EXPECT_EQ(STR_nLen("abc", 10), 3);
    EXPECT_EQ(STR_nLen("abc", 0), 0);
    EXPECT_EQ(STR_nLen("abc", -1), 0);
    EXPECT_EQ(STR_nLen(byBuf, 4), 4);
    EXPECT_EQ(STR_nLenW(L"abc", 10), 3);
    EXPECT_EQ(STR_nLenW(L"abc", -2), 0);
}

TEST(STRTexte, BoundedCopies)
{
    char sz[8];
    memset(sz, '#', sizeof sz);
    EXPECT_EQ(STR_nCopy(sz, 4, "abcdef", -1), 3);
    EXPECT_STREQ(sz, "abc");
    EXPECT_EQ(sz[4], '#');
    memset(sz, '#', sizeof sz);
    EXPECT_EQ(STR_nCopy(sz, 0, "abcdef", -1), 0);
    EXPECT_EQ(sz[0], '#');
    EXPECT_EQ(STR_nCopy(sz, 8, "abcdef", 2), 2);
    EXPECT_STREQ(sz, "ab");
    EXPECT_EQ(STR_nCopy(sz, 8, nullptr, -1), 0);
    EXPECT_STREQ(sz, "");

    strcpy(sz, "ab");
    EXPECT_EQ(STR_nCat(sz, 5, "cdef", -1), 2);
    EXPECT_STREQ(sz, "abcd");
    strcpy(sz, "ab");
    EXPECT_EQ(STR_nCat(sz, 8, "cdef", 1), 1);
    EXPECT_STREQ(sz, "abc");
    // A destination without terminator inside its size takes nothing.
    char byPlein[3] = {'x', 'y', 'z'};
    EXPECT_EQ(STR_nCat(byPlein, 3, "a", -1), 0);
    EXPECT_EQ(byPlein[2], 'z');
    EXPECT_EQ(STR_nCut(sz, 3, "hello"), 2);
    EXPECT_STREQ(sz, "he");
    EXPECT_EQ(STR_nCatCut(sz, 4, "llo"), 1);
    EXPECT_STREQ(sz, "hel");

    wchar_t w[6];
    EXPECT_EQ(STR_nCopyW(w, 3, L"abc", -1), 2);
    EXPECT_STREQ(w, L"ab");
    EXPECT_EQ(STR_nCatW(w, 6, L"cdefg", -1), 3);
    EXPECT_STREQ(w, L"abcde");
    EXPECT_EQ(STR_nCatW(w, 6, L"x", -1), 0);

    strcpy(sz, "ab");
    EXPECT_EQ(STR_Complete(sz, 5, '*'), 5);
    EXPECT_STREQ(sz, "ab**");
    strcpy(sz, "abcdefg");
    EXPECT_EQ(STR_Complete(sz, 4, '*'), 4);
    EXPECT_STREQ(sz, "abc");
    EXPECT_EQ(STR_Complete(sz, 0, '*'), 0);
    EXPECT_STREQ(sz, "abc");
}

TEST(STRTexte, Ellipsis)
{
    const char *pszSrc = "0123456789";
    char sz[16];
    EXPECT_STREQ(STR_Ellipsis(sz, pszSrc, 7, eELLIPSIS_MILIEU), "01...89");
    EXPECT_STREQ(STR_Ellipsis(sz, pszSrc, 7, eELLIPSIS_FIN), "0123...");
    EXPECT_STREQ(STR_Ellipsis(sz, pszSrc, 7, eELLIPSIS_DEBUT), "...6789");
    // Every width gives exactly max characters: head of the source, the
    // ellipsis, tail of the source.
    const std::string sSrc(pszSrc);
    for (int nMax = 3; nMax < 10; ++nMax) {
        for (int nPos = 0; nPos < 3; ++nPos) {
            memset(sz, '#', sizeof sz);
            const char *psz = STR_Ellipsis(sz, pszSrc, nMax, static_cast<eELLIPSISPOSITION>(nPos));
            ASSERT_EQ(psz, sz);
            const std::string s(psz);
            ASSERT_EQ(s.size(), static_cast<size_t>(nMax)) << nMax << " " << nPos;
            const size_t nPoints = s.find("...");
            ASSERT_NE(nPoints, std::string::npos);
            EXPECT_EQ(sSrc.compare(0, nPoints, s, 0, nPoints), 0);
            const size_t nFin = s.size() - nPoints - 3;
            EXPECT_EQ(sSrc.compare(sSrc.size() - nFin, nFin, s, nPoints + 3, nFin), 0);
            EXPECT_EQ(nPoints, nPos == 0 ? static_cast<size_t>(nMax - 3)
                                         : nPos == 1 ? static_cast<size_t>((nMax - 3) / 2) : 0u);
        }
    }
    memset(sz, '#', sizeof sz);
    EXPECT_EQ(STR_Ellipsis(sz, pszSrc, 2, eELLIPSIS_FIN), pszSrc);
    EXPECT_EQ(sz[0], '#');
    EXPECT_STREQ(STR_Ellipsis(sz, pszSrc, 10, eELLIPSIS_MILIEU), pszSrc);
    EXPECT_STREQ(STR_Ellipsis(sz, "abc", 12, eELLIPSIS_DEBUT), "abc");
    // An unknown position writes nothing and hands back the source.
    memset(sz, '#', sizeof sz);
    EXPECT_EQ(STR_Ellipsis(sz, pszSrc, 5, static_cast<eELLIPSISPOSITION>(3)), pszSrc);
    EXPECT_EQ(sz[0], '#');
}

TEST(STRTexte, Trimming)
{
    char sz[32];
    strcpy(sz, "  \tab \n");
    EXPECT_STREQ(STR_SuppressLeftSpaces(sz), "ab \n");
    strcpy(sz, "  \tab \n");
    EXPECT_STREQ(STR_SuppressRightSpaces(sz), "  \tab");
    strcpy(sz, "  \tab \n");
    EXPECT_STREQ(STR_SuppressSideSpaces(sz), "ab");
    strcpy(sz, " \t ");
    EXPECT_STREQ(STR_SuppressSideSpaces(sz), "");
    strcpy(sz, " a b ");
    EXPECT_STREQ(STR_SuppressLeftSpacesA(sz), "a b ");
    EXPECT_STREQ(STR_SuppressRightSpacesA(sz), "a b");
    strcpy(sz, " a b\tc\n");
    EXPECT_STREQ(STR_SuppressAllSpaces(sz), "abc");
    strcpy(sz, "xxaxx");
    EXPECT_STREQ(STR_SuppressLeftCar(sz, 'x'), "axx");
    strcpy(sz, "xxaxx");
    EXPECT_STREQ(STR_SuppressRightCar(sz, 'x'), "xxa");
    strcpy(sz, "xxaxx");
    EXPECT_STREQ(STR_SuppressSideCar(sz, 'x'), "a");
    strcpy(sz, "xxx");
    EXPECT_STREQ(STR_SuppressSideCar(sz, 'x'), "");
    wchar_t w[] = L"ab \t\n";
    EXPECT_STREQ(STR_SuppressRightSpacesW(w), L"ab");
    EXPECT_EQ(STR_SuppressLeftSpaces(nullptr), nullptr);
    EXPECT_EQ(STR_SuppressRightSpaces(nullptr), nullptr);
    EXPECT_EQ(STR_SuppressAllSpaces(nullptr), nullptr);
    EXPECT_EQ(STR_SuppressSideCar(nullptr, 'x'), nullptr);
    EXPECT_EQ(STR_SuppressRightSpacesW(nullptr), nullptr);
}

TEST(STRTexte, HeapTexts)
{
    char *p = STR_pszCreate(3u);
    ASSERT_NE(p, nullptr);
    strcpy(p, "abc");
    STR_Delete(p);
    wchar_t *pw = STR_pszCreateW(2ul);
    ASSERT_NE(pw, nullptr);
    wcscpy(pw, L"ab");
    STR_DeleteW(pw);

    p = STR_pszCreate(5u, "ab");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::string(p, 6), std::string("ab\0\0\0\0", 6));
    STR_Delete(p);
    p = STR_pszCreate(2u, "abcdef");
    EXPECT_STREQ(p, "ab");
    STR_Delete(p);
    p = STR_pszCreate("abc");
    EXPECT_STREQ(p, "abc");
    STR_DeleteA(p);
    EXPECT_EQ(STR_pszCreate(static_cast<const char *>(nullptr)), nullptr);
    p = STR_pszCreate("ab", "cd");
    EXPECT_STREQ(p, "abcd");
    STR_Delete(p);
    p = STR_pszConcat("a", nullptr, "c");
    EXPECT_STREQ(p, "ac");
    STR_Delete(p);
    p = STR_pszConcatPoint("file", "txt");
    EXPECT_STREQ(p, "file.txt");
    STR_Delete(p);
    pw = STR_pszCreateW(L"\u00e9t\u00e9");
    EXPECT_STREQ(pw, L"\u00e9t\u00e9");
    STR_DeleteW(pw);
    pw = STR_pszCreateW(4u, L"ab");
    EXPECT_EQ(std::wstring(pw, 5), std::wstring(L"ab\0\0\0", 5));
    STR_DeleteW(pw);
    pw = STR_pszCreateW(L"ab", L"cd");
    EXPECT_STREQ(pw, L"abcd");
    STR_DeleteW(pw);
    STR_Delete(nullptr);

    p = STR_pszCreate("hello");
    EXPECT_TRUE(STR_bRedefine(&p, p)); // its own text
    EXPECT_STREQ(p, "hello");
    EXPECT_TRUE(STR_bRedefine(&p, "world"));
    EXPECT_STREQ(p, "world");
    EXPECT_TRUE(STR_bResize(&p, 100));
    EXPECT_STREQ(p, "world");
    char *pAvant = p;
    EXPECT_FALSE(STR_bResize(&p, 0));
    EXPECT_EQ(p, pAvant);
    EXPECT_FALSE(STR_bRedefine(&p, nullptr));
    EXPECT_EQ(p, nullptr);

    pw = STR_RemplaceW(L"a-b-c", L"-", L"--");
    EXPECT_STREQ(pw, L"a--b--c");
    STR_DeleteW(pw);
    pw = STR_RemplaceW(L"aaaa", L"aa", L"b");
    EXPECT_STREQ(pw, L"bb");
    STR_DeleteW(pw);
    pw = STR_RemplaceW(L"abc", L"x", L"y");
    EXPECT_STREQ(pw, L"abc");
    STR_DeleteW(pw);
    pw = STR_RemplaceW(L"abc", L"b", nullptr);
    EXPECT_STREQ(pw, L"ac");
    STR_DeleteW(pw);
    EXPECT_EQ(STR_RemplaceW(L"abc", L"", L"y"), nullptr);
    EXPECT_EQ(STR_RemplaceW(L"", L"a", L"y"), nullptr);
}

TEST(STRTexte, CodePageConversions)
{
    wchar_t *pw = nullptr;
    ASSERT_TRUE(STR_CharToWChar(&pw, "\xE9t\xE9"));
    EXPECT_STREQ(pw, L"\u00e9t\u00e9");
    STR_DeleteW(pw);
    EXPECT_EQ(STR_CharToWChar('\xE9', 0, 1252), L'\u00e9');
    EXPECT_EQ(STR_CharToWChar('\x80', 0, 1252), L'\u20ac');

    char *p = nullptr;
    int n = -1;
    ASSERT_TRUE(__STR_WCharToChar(L"\u00e9a", 2, &p, &n, 1252));
    EXPECT_STREQ(p, "\xE9"
                    "a");
    EXPECT_EQ(n, 2);
    STR_Delete(p);
    ASSERT_TRUE(STR_WCharToChar_AnyCodepage(L"\u0439", 1, &p, &n, 1251));
    EXPECT_STREQ(p, "\xE9");
    STR_Delete(p);
    ASSERT_TRUE(STR_CharToWChar_AnyCodepage("\xC3\xA9", 2, 65001, &pw, &n, 0));
    EXPECT_EQ(n, 1);
    EXPECT_EQ(pw[0], L'\u00e9');
    EXPECT_EQ(pw[1], L'\0');
    STR_DeleteW(pw);

    p = STR_pszCreateToXUTF8("\xE9t\xE9");
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p, "\xC3\xA9t\xC3\xA9");
    char *pRetour = STR_pszCreateFromXUTF8(p);
    ASSERT_NE(pRetour, nullptr);
    EXPECT_STREQ(pRetour, "\xE9t\xE9");
    STR_Delete(p);
    STR_Delete(pRetour);

    ASSERT_TRUE(STR_CharToChar_AnyCodepage("\xE9t\xE9", -1, 1252, &p, &n, 1252));
    EXPECT_EQ(n, 3);
    EXPECT_STREQ(p, "\xE9t\xE9");
    STR_Delete(p);
    ASSERT_TRUE(STR_CharToChar_AnyCodepage("\xE9", 1, 1252, &p, &n, 65001));
    EXPECT_EQ(std::string(p, static_cast<size_t>(n)), "\xC3\xA9");
    STR_Delete(p);

    // A failed conversion answers false with a null result.
    p = reinterpret_cast<char *>(1);
    n = 5;
    EXPECT_FALSE(STR_CharToChar_AnyCodepage("\xFF\xFE", 2, 65001, &p, &n, 1252));
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(n, 0);

    // The current charset selects the code page; a null source is no error.
    EXPECT_TRUE(STR_CharToWChar_CurrentCharset(nullptr, -1, &pw, &n, 0));
    EXPECT_EQ(pw, nullptr);
    EXPECT_TRUE(STR_WCharToChar_CurrentCharset(nullptr, -1, &p, &n));
    EXPECT_EQ(p, nullptr);
    STR_ChangeAlphabet(204, const_cast<_stCHARTAB *>(&gstCharTab));
    ASSERT_TRUE(STR_CharToWChar_CurrentCharset("\xE9", 1, &pw, &n, 0));
    EXPECT_EQ(pw[0], L'\u0439');
    ASSERT_TRUE(STR_WCharToChar_CurrentCharset(pw, 1, &p, &n));
    EXPECT_STREQ(p, "\xE9");
    STR_DeleteW(pw);
    STR_Delete(p);
    STR_ChangeAlphabet(0, const_cast<_stCHARTAB *>(&gstCharTab));
}

TEST(STRTexte, ConversionCountsAndFailures)
{
    // -1 converts the terminator too, so the count includes it; an explicit
    // count converts exactly that many characters.
    wchar_t *pw = nullptr;
    int n = -5;
    ASSERT_TRUE(__STR_CharToWChar("ab\xE9", -1, 1252, &pw, &n, 0));
    EXPECT_EQ(n, 4);
    EXPECT_STREQ(pw, L"ab\u00e9");
    STR_DeleteW(pw);
    ASSERT_TRUE(__STR_CharToWChar("abcdef", 2, 1252, &pw, &n, 0));
    EXPECT_EQ(n, 2);
    EXPECT_STREQ(pw, L"ab");
    STR_DeleteW(pw);
    char *p = nullptr;
    ASSERT_TRUE(__STR_WCharToChar(L"ab", -1, &p, &n, 1252));
    EXPECT_EQ(n, 3);
    EXPECT_STREQ(p, "ab");
    STR_Delete(p);

    // Nothing to convert: an empty text and success, in both directions.
    ASSERT_TRUE(__STR_CharToWChar("abc", 0, 1252, &pw, &n, 0));
    ASSERT_NE(pw, nullptr);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(pw[0], L'\0');
    STR_DeleteW(pw);
    ASSERT_TRUE(__STR_WCharToChar(L"abc", 0, &p, &n, 1252));
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p, "");
    STR_Delete(p);
    ASSERT_TRUE(STR_CharToChar_AnyCodepage("abc", 0, 1252, &p, &n, 65001));
    EXPECT_STREQ(p, "");
    EXPECT_EQ(n, 0);
    STR_Delete(p);

    // Failures: null out, zero count, false (the measured buffer is freed).
    p = reinterpret_cast<char *>(1);
    n = 7;
    EXPECT_FALSE(__STR_WCharToChar(L"a\u4e00b", 3, &p, &n, 1252));
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(n, 0);
    pw = reinterpret_cast<wchar_t *>(1);
    n = 7;
    EXPECT_FALSE(__STR_CharToWChar("\xC3(", 2, 65001, &pw, &n, 0));
    EXPECT_EQ(pw, nullptr);
    EXPECT_EQ(n, 0);
    EXPECT_FALSE(__STR_CharToWChar(nullptr, -1, 1252, &pw, &n, 0));
    EXPECT_EQ(pw, nullptr);

    p = STR_pszCreateA("xyz");
    EXPECT_STREQ(p, "xyz");
    STR_DeleteA(p);
    p = STR_pszCreateA(2ul);
    ASSERT_NE(p, nullptr);
    strcpy(p, "ab");
    STR_DeleteA(p);
}

// STR_ family: mapping, sort keys, preparation and every comparison strength.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "strings/STR.h"

TEST(STRMap, MapStringModesSizesAndLengths)
{
    char sz[32];
    EXPECT_EQ(STR_nMapStringEx(3, sz, 6, "\xC9l\xE8ve", -1, 1), 5);
    EXPECT_STREQ(sz, "ELEVE");
    EXPECT_EQ(STR_nMapStringEx(3, sz, 4, "\xC9l\xE8ve", -1, 1), 3);
    EXPECT_STREQ(sz, "ELE");
    EXPECT_EQ(STR_nMapStringEx(4, sz, 20, "a, b-c", -1, 1), 3);
    EXPECT_STREQ(sz, "abc");
    EXPECT_EQ(STR_nGetMapStringLenEx(4, "a, b-c", -1), 4);
    EXPECT_EQ(STR_nGetMapStringLenEx(0, "a, b-c", 3), 4);
    EXPECT_EQ(STR_nGetMapStringLenEx(9, "abc", -1), 1);
    // Mode 7: the application name form (upper case, no accents, no separators).
    EXPECT_EQ(STR_nMapStringEx(7, sz, sizeof sz, "\xC9l\xE8ve-test 1.tql", -1, 1), 13);
    EXPECT_STREQ(sz, "ELEVETEST1TQL");
    // Lower case where the upper argument is 0; case after unaccenting.
    STR_nMapStringEx(1, sz, sizeof sz, "AB\xC9\x9F", -1, 0);
    EXPECT_STREQ(sz, "ab\xE9\xFF");
    STR_nMapStringEx(3, sz, sizeof sz, "\xE9\xFF\xC6", -1, 0);
    EXPECT_STREQ(sz, "ey\xE6");
    STR_nMapStringEx(2, sz, sizeof sz, "\xC9\xE7\x8A", -1, 1);
    EXPECT_STREQ(sz, "EcS");
    // Length limit, and dropping limited by the size.
    EXPECT_EQ(STR_nMapStringEx(0, sz, sizeof sz, "abcdef", 3, 1), 3);
    EXPECT_STREQ(sz, "abc");
    EXPECT_EQ(STR_nMapStringEx(5, sz, 3, "a.b.c", -1, 1), 2);
    EXPECT_STREQ(sz, "AB");
    EXPECT_EQ(STR_nMapStringEx(4, sz, sizeof sz, "a.b.c", 3, 1), 2);
    EXPECT_STREQ(sz, "ab");
    // The local alphabet is the fixed one until a host selects another.
    EXPECT_EQ(STR_nMapStringEx(0x10000003, sz, sizeof sz, "\xE9t\xE9", -1, 1), 3);
    EXPECT_STREQ(sz, "ETE");
    // Empty results: mode above 7, zero or invalid length, empty or null source.
    for (unsigned nMode : {8u, 15u, 0x10000008u}) {
        strcpy(sz, "xyz");
        EXPECT_EQ(STR_nMapStringEx(nMode, sz, sizeof sz, "abc", -1, 1), 0);
        EXPECT_STREQ(sz, "");
    }
    for (int nLen : {0, -2}) {
        strcpy(sz, "xyz");
        EXPECT_EQ(STR_nMapStringEx(1, sz, sizeof sz, "abc", nLen, 1), 0);
        EXPECT_STREQ(sz, "");
    }
    EXPECT_EQ(STR_nMapStringEx(1, sz, sizeof sz, "", -1, 1), 0);
    EXPECT_EQ(STR_nMapStringEx(1, sz, sizeof sz, nullptr, -1, 1), 0);
    // Size 0 writes nothing at all; size 1 only the terminator.
    strcpy(sz, "xyz");
    EXPECT_EQ(STR_nMapStringEx(1, sz, 0, "abc", -1, 1), 0);
    EXPECT_STREQ(sz, "xyz");
    EXPECT_EQ(STR_nMapStringEx(5, sz, 1, "abc", -1, 1), 0);
    EXPECT_STREQ(sz, "");
    // In place, as the fixed string does it.
    char szSur[] = "a b-c\xE9";
    EXPECT_EQ(STR_nMapStringEx(7, szSur, sizeof szSur, szSur, 6, 1), 4);
    EXPECT_STREQ(szSur, "ABCE");
}

TEST(STRMap, CreationCharsAndTransforms)
{
    char *p = nullptr;
    EXPECT_EQ(STR_nCreateMapString(7, &p, "a-b \xE9"), 3);
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p, "ABE");
    STR_Delete(p);
    p = STR_pszCreateStandard("\xE9t\xE9 d'\xE9t\xE9");
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p, "ETE D'ETE");
    STR_Delete(p);

    char c = 'x';
    EXPECT_EQ(STR_nMapCharEx(4, &c, ',', 1), 0);
    EXPECT_EQ(c, 'x');
    EXPECT_EQ(STR_nMapCharEx(5, &c, 'a', 1), 1);
    EXPECT_EQ(c, 'A');
    EXPECT_EQ(STR_nMapCharEx(1, &c, 'A', 0), 1);
    EXPECT_EQ(c, 'a');
    EXPECT_EQ(STR_nMapCharEx(3, &c, '\xE9', 1), 1);
    EXPECT_EQ(c, 'E');
    EXPECT_EQ(STR_nMapCharIgnoreCaseAccent(&c, '\xFF'), 1);
    EXPECT_EQ(c, 'Y');

    char sz[32];
    EXPECT_EQ(STR_nTransforme(0x803, sz, sizeof sz, "\xE9t, \xE9\tx", -1), 5);
    EXPECT_STREQ(sz, "ET,EX");
    EXPECT_EQ(STR_nTransforme(0x800, sz, sizeof sz, "a,b \xE9\xA0z", -1), 5);
    EXPECT_STREQ(sz, "a,b\xE9z");
    STR_nTransforme(0x801, sz, sizeof sz, "a b\xE9", -1);
    EXPECT_STREQ(sz, "AB\xC9");
    STR_nTransforme(0x802, sz, sizeof sz, "A b\xE9", -1);
    EXPECT_STREQ(sz, "Abe");
    STR_nTransforme(0x803, sz, 3, "a b c", -1);
    EXPECT_STREQ(sz, "AB");
    // Other values are map flags with upper case.
    STR_nTransforme(5, sz, sizeof sz, "a-b", -1);
    EXPECT_STREQ(sz, "AB");
}

TEST(STRMap, SortKeysAndCase)
{
    const char rA = static_cast<char>(pwCharOrder_Latin1[0x61]), rB = static_cast<char>(pwCharOrder_Latin1[0x62]);
    char sz[8];
    memset(sz, '#', sizeof sz);
    EXPECT_EQ(STR_MapStringSortEx(sz, 5, "ab", -1, 0), 2);
    EXPECT_EQ(sz[0], rA);
    EXPECT_EQ(sz[1], rB);
    for (int i = 2; i < 5; ++i)
        EXPECT_EQ(sz[i], 0);
    EXPECT_EQ(sz[5], '#');
    // A key that fills the size is not terminated.
    memset(sz, '#', sizeof sz);
    EXPECT_EQ(STR_MapStringSortEx(sz, 3, "abcd", -1, 1), 3);
    EXPECT_EQ(sz[2], static_cast<char>(pwCharOrder_Latin1[0x63]));
    EXPECT_EQ(sz[3], '#');
    memset(sz, '#', sizeof sz);
    EXPECT_EQ(STR_MapStringSortEx(sz, 4, "abc", 1, 0), 1);
    EXPECT_EQ(sz[0], rA);
    EXPECT_EQ(sz[1], 0);
    EXPECT_EQ(sz[3], 0);
    EXPECT_EQ(sz[4], '#');

    char szTexte[] = "\xE9t\xE9 \xFF\xDF!";
    EXPECT_EQ(STR_ToUpper(szTexte), szTexte);
    EXPECT_STREQ(szTexte, "\xC9T\xC9 \x9F\xDF!");
    STR_ToLower(szTexte);
    EXPECT_STREQ(szTexte, "\xE9t\xE9 \xFF\xDF!");
    EXPECT_EQ(STR_ToUpper(nullptr), nullptr);
}

TEST(STRMap, OptionsAndPreparation)
{
    EXPECT_EQ(OptionQS2FlagSTR(0x02), 4u);
    EXPECT_EQ(OptionQS2FlagSTR(0x04), 2u);
    EXPECT_EQ(OptionQS2FlagSTR(0x10), 1u);
    EXPECT_EQ(OptionQS2FlagSTR(0x20), 1u);
    EXPECT_EQ(OptionQS2FlagSTR(0x40), 1u);
    EXPECT_EQ(OptionQS2FlagSTR(0x7E), 7u);
    EXPECT_EQ(OptionQS2FlagSTR(0x89), 0u);

    char sz[32];
    const char *pszSrc = " \t a,B\xE9 c \r\n";
    const int nSrc = static_cast<int>(strlen(pszSrc));
    EXPECT_EQ(STR_PrepareChaine(sz, pszSrc, nSrc, 0x01 | 0x02 | 0x04 | 0x10), 4);
    EXPECT_EQ(std::string(sz, 4), "ABEC");
    EXPECT_EQ(STR_PrepareChaine(sz, pszSrc, nSrc, 0x01 | 0x04 | 0x40), 6);
    EXPECT_EQ(std::string(sz, 6), "a,be c");
    EXPECT_EQ(STR_PrepareChaine(sz, pszSrc, nSrc, 0), nSrc);
    EXPECT_EQ(std::string(sz, static_cast<size_t>(nSrc)), pszSrc);
    EXPECT_EQ(STR_PrepareChaine(sz, "  \t ", 4, 0x01), 0);
    EXPECT_EQ(STR_PrepareChaine(sz, "abc", 0, 0), 0);
    EXPECT_EQ(STR_PrepareChaine(sz, "abc", -3, 0x01), 0);
}

TEST(STRCompare, StrengthsAndSignedOrder)
{
    EXPECT_EQ(STR_nCompare("abc", "ABC", 1), 0);
    EXPECT_EQ(STR_nCompare("abc", "ABC", 0), 1);
    EXPECT_EQ(STR_nCompare("\xE9", "z", 0), -1); // 0xE9 is negative as a signed byte
    EXPECT_EQ(STR_nCompare("z", "\xE9", 0), 1);
    EXPECT_EQ(STR_nCompare("\xE9", "E", 3), 0);
    EXPECT_EQ(STR_nCompare("\xE9", "E", 1), -1);
    EXPECT_EQ(STR_nCompare("\xC6", "A", 3), -1); // the ligature keeps its (negative) form
    EXPECT_EQ(STR_nCompare("ab", "abc", 0), -1);
    EXPECT_EQ(STR_nCompare("", "", 0), 0);
    // Bits 0x10000 and 0x10000000 are ignored by STR_nCompare ...
    EXPECT_EQ(STR_nCompare("a", "A", 0x10010001), 0);
    // ... but a raw mode above 7 compares no characters.
    EXPECT_EQ(STR_CompareStringEx(8, "a", -1, "b", -1), 3);
    EXPECT_EQ(STR_CompareStringEx(8, "", -1, "b", -1), 1);
    EXPECT_EQ(STR_CompareStringEx(8, "", -1, "", -1), 2);

    // Separators are skipped on each side while both have characters; a
    // trailing separator makes its text the greater.
    EXPECT_EQ(STR_CompareStringEx(4, "a-b", -1, "ab", -1), 2);
    EXPECT_EQ(STR_CompareStringEx(4, ".ab", -1, "a b", -1), 2);
    EXPECT_EQ(STR_CompareStringEx(4, "ab.", -1, "ab", -1), 3);
    EXPECT_EQ(STR_CompareStringEx(4, "ab", -1, "ab ", -1), 1);
    EXPECT_EQ(STR_CompareStringEx(7, "\xC9-t\xE9", -1, "e t E", -1), 2);
    EXPECT_EQ(STR_CompareStringEx(5, "a-b", -1, "AC", -1), 1);
    EXPECT_EQ(STR_CompareStringEx(0, "abcX", 3, "abcY", 3), 2);
    EXPECT_EQ(STR_CompareStringEx(0, "abc", 2, "abd", -1), 1);

    EXPECT_EQ(STR_nUpCompare("\xE9t\xE9", "\xC9T\xC9", 0), 0);
    EXPECT_EQ(STR_nAcCompare("\xE9t\xE9", "ete", 0), 0);
    EXPECT_EQ(STR_nAcCompare("\xE9t\xE9", "ETE", 0), 1);
    EXPECT_EQ(STR_nNCompare("abcdef", "abcxyz", 3, 0), 0);
    EXPECT_EQ(STR_nNCompare("abcdef", "abcxyz", 4, 0), -1);
    EXPECT_EQ(STR_nNCompare("ab", "abc", 2, 0), 0);
    EXPECT_EQ(STR_nNCompare("ab", "abc", 3, 0), -1);
    EXPECT_EQ(STR_nNCompare("ab", "AB", 2, 0x10000001), 0);
    EXPECT_EQ(STR_nNCompare("ab", "xy", -5, 0), 0);
}

TEST(STRCompare, SignedOrderAfterMappingAndSkipping)
{
    // The mapped values are compared as signed bytes in every mode.
    EXPECT_EQ(STR_CompareStringEx(1, "\xE9", -1, "z", -1), 1); // 0xC9 < 'Z'
    EXPECT_EQ(STR_CompareStringEx(2, "\xE6", -1, "a", -1), 1); // the ligature stays negative
    EXPECT_EQ(STR_CompareStringEx(3, "\xFF", -1, "Z", -1), 1); // 'Y' < 'Z'
    EXPECT_EQ(STR_CompareStringEx(0, "\x7F", -1, "\x80", -1), 3);
    // After skipping, the first kept characters are paired, still signed.
    EXPECT_EQ(STR_CompareStringEx(4, "a\xE9", -1, "a--z", -1), 1);
    EXPECT_EQ(STR_CompareStringEx(6, "-\xE9", -1, "e", -1), 2);
    // A separator counts at the end only inside the length.
    EXPECT_EQ(STR_CompareStringEx(4, "ab--", 2, "ab", -1), 2);
    EXPECT_EQ(STR_CompareStringEx(4, "ab--", 3, "ab", -1), 3);
    EXPECT_EQ(STR_CompareStringEx(4, "ab", -1, "a b", 2), 3);
    // Separators before the end are skipped on each side on its own.
    EXPECT_EQ(STR_CompareStringEx(5, "..a..b", -1, "A,B", -1), 2);
    EXPECT_EQ(STR_nCompare("a-b", "ab", 4), 0);
    EXPECT_EQ(STR_nCompare("ab-", "ab", 4), 1);
}

TEST(STRCompare, NullAndPrefixForms)
{
    EXPECT_EQ(STR_nNullCompare(nullptr, nullptr, 0), 0);
    EXPECT_EQ(STR_nNullCompare(nullptr, "", 0), -1);
    EXPECT_EQ(STR_nNullCompare("", nullptr, 0), 1);
    EXPECT_EQ(STR_nNullCompare("a", "A", 1), 0);
    EXPECT_EQ(STR_nNullNCompare(nullptr, "a", 1, 0), -1);
    EXPECT_EQ(STR_nNullNCompare("ab", nullptr, 1, 0), 1);
    EXPECT_EQ(STR_nNullNCompare("abX", "abY", 2, 0), 0);
    EXPECT_EQ(STR_nEmptyNullCompare(nullptr, "", 0), 0);
    EXPECT_EQ(STR_nEmptyNullCompare("", nullptr, 0), 0);
    EXPECT_EQ(STR_nEmptyNullCompare("a", nullptr, 0), 1);
    EXPECT_EQ(STR_nEmptyNullCompare(nullptr, "a", 0), -1);
    EXPECT_EQ(STR_nEmptyNullCompare("", "a", 0), -1);
    EXPECT_EQ(STR_nEmptyNullCompare("b", "a", 0), 1);

    EXPECT_TRUE(STR_bDebut("\xC9L", "\xE9l\xE8ve"));
    EXPECT_TRUE(STR_bDebut("", "abc"));
    EXPECT_FALSE(STR_bDebut("eleves", "eleve"));
    EXPECT_FALSE(STR_bDebut("ex", "eleve"));
    EXPECT_FALSE(STR_bDebut(nullptr, "abc"));

    EXPECT_EQ(STR_nCmpLogiqueAnsiFast("\xE9t\xE9", "ETE"), 0);
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast("abc", "abd"), -1);
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast("ab", "abc"), -1);
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast("abc", "AB"), 1);
    EXPECT_EQ(STR_nCmpLogiqueAnsiFast("\xC6", "Z"), 1); // unsigned here

    EXPECT_LT(STR_nCompareCharLexico('a', 'A', 0), 0);
    EXPECT_LT(STR_nCompareCharLexico('A', '\xE1', 0), 0);
    EXPECT_GT(STR_nCompareCharLexico('b', '\xE0', 0x10000000), 0);
    EXPECT_EQ(STR_nCompareCharLexico('b', 'B', 0), -1);
    EXPECT_EQ(STR_nCompareCharSouple('\xE9', 'E'), 0);
    EXPECT_EQ(STR_nCompareCharSouple('a', 'C'), 'A' - 'C');
    EXPECT_GT(STR_nCompareCharSouple('\xC6', 'Z'), 0);
}

TEST(STRCompare, NumericAware)
{
    auto cmp = [](const char *a, const char *b, unsigned nFlags = 0) {
        return STR_nCompareRespecteNumerique(a, -1, b, -1, nFlags);
    };
    EXPECT_LT(cmp("a9", "a10"), 0);
    EXPECT_GT(cmp("a10", "a9"), 0);
    EXPECT_EQ(cmp("007", "7"), -1); // a tie only
    EXPECT_EQ(cmp("7", "007"), 1);
    EXPECT_EQ(cmp("7", "7"), 0);
    EXPECT_GT(cmp("x007z", "x7y"), 0); // a later difference beats the tie
    EXPECT_EQ(cmp("01a1", "1a01"), -1); // the first tie is kept
    EXPECT_EQ(cmp("a10b", "a010b"), 1);
    EXPECT_EQ(cmp("12", "13"), -1);
    EXPECT_EQ(cmp("100", "99"), 1);
    EXPECT_EQ(cmp("0100", "99"), 1);
    EXPECT_EQ(cmp("099", "100"), -1);
    EXPECT_EQ(cmp("abc", "ab"), 1);
    EXPECT_EQ(cmp("ab", "abc"), -1);
    EXPECT_EQ(cmp("", ""), 0);
    EXPECT_EQ(cmp("a", "B"), 'a' - 'B');
    EXPECT_LT(cmp("a", "B", 0x20000000), 0); // collation: a before B
    EXPECT_GT(cmp("\xE9", "f", 0), 0);
    EXPECT_LT(cmp("\xE9", "f", 0x20000000), 0);
    EXPECT_EQ(STR_nCompareRespecteNumerique("a9", 1, "a10", 1, 0), 0);
    EXPECT_EQ(STR_nCompareRespecteNumerique("12", 1, "13", 1, 0), 0);
    EXPECT_EQ(STR_nCompareRespecteNumerique(nullptr, -1, "a", -1, 0), -1);
}

TEST(STRCompare, LanguageOptions)
{
    auto cmp = [](const char *a, const char *b, int nOptions) {
        return STR_ChaineCompare(a, -1, b, -1, nOptions);
    };
    EXPECT_EQ(cmp("  abc ", "abc", 0x01), 0);
    EXPECT_EQ(cmp("  abc ", "abc", 0), -1);
    EXPECT_EQ(cmp("abc", "ABC", 0x10), 0);
    EXPECT_EQ(cmp("abc", "ABC", 0x40), 0);
    EXPECT_EQ(cmp("abc", "ABC", 0), 1);
    EXPECT_EQ(cmp("\xE9t\xE9", "ete", 0x04), 0);
    EXPECT_EQ(cmp("a-b c", "abc", 0x02), 0);
    EXPECT_EQ(cmp("ab", "abc", 0), -1);
    EXPECT_EQ(cmp("abc", "ab", 0x08), 1);
    EXPECT_EQ(cmp("\xE9", "f", 0), 1);   // byte values, unsigned
    EXPECT_LT(cmp("\xE9", "f", 0x08), 0); // collation order
    EXPECT_LT(cmp("a", "B", 0x08), 0);
    EXPECT_EQ(cmp("a9", "a10", 0x80), -1);
    EXPECT_LT(cmp("a9", "a10", 0x88), 0);
    EXPECT_EQ(cmp("a007", "A7", 0x90), -1);
    EXPECT_EQ(STR_ChaineCompare("abcX", 3, "abcY", 3, 0), 0);

    // Long texts go through heap buffers with the same results.
    for (size_t nLen : {1023u, 1024u, 1025u, 5000u}) {
        std::string a(nLen, 'x'), b(nLen, 'x');
        a += 'a';
        b += 'b';
        EXPECT_EQ(cmp(a.c_str(), b.c_str(), 0), -1) << nLen;
        b.back() = 'A';
        EXPECT_EQ(cmp(a.c_str(), b.c_str(), 0x10), 0) << nLen;
        EXPECT_EQ(cmp(a.c_str(), b.c_str(), 0x08), -1) << nLen;
        EXPECT_EQ(cmp((" " + a).c_str(), b.c_str(), 0x11), 0) << nLen;
    }
}

TEST(STRCompare, WideForms)
{
    static_assert(sizeof(wchar_t) == 4, "wide text is 4-byte wchar_t");
    EXPECT_LT(STR_nCompareStringLexicoW(L"abc", -1, L"abd", -1, 0), 0);
    EXPECT_EQ(STR_nCompareStringLexicoW(L"ab", -1, L"abc", -1, 0), -1);
    EXPECT_EQ(STR_nCompareStringLexicoW(L"abc", -1, L"ab", -1, 0), 1);
    EXPECT_EQ(STR_nCompareStringLexicoW(L"abc", 2, L"abd", 2, 0), 0);
    EXPECT_EQ(STR_nCompareStringLexicoW(L"\u0100", -1, L"\u00ff", -1, 0), -1); // raw little-endian bytes

    EXPECT_EQ(STR_nCompareRespecteNumeriqueW(L"a9", -1, L"a10", -1, 0), -1);
    EXPECT_EQ(STR_nCompareRespecteNumeriqueW(L"007", -1, L"7", -1, 0), -1);
    EXPECT_EQ(STR_nCompareRespecteNumeriqueW(L"7", -1, L"007", -1, 0), 1);
    EXPECT_EQ(STR_nCompareRespecteNumeriqueW(L"b", -1, L"a", -1, 0), 1);
    EXPECT_EQ(STR_nCompareRespecteNumeriqueW(L"1", -1, L"a", -1, 0), -1);
    EXPECT_EQ(STR_nCompareRespecteNumeriqueW(L"a", -1, L"1", -1, 0), 1);
    EXPECT_EQ(STR_nCompareRespecteNumeriqueW(L"a", -1, L"1", -1, 0x20000000), -1);
    EXPECT_EQ(STR_nCompareRespecteNumeriqueW(L"x12y", -1, L"x12y", -1, 0), 0);

    EXPECT_EQ(STR_nCompareCharLexicoW(L'a', L'a', 0), 0);
    EXPECT_EQ(STR_nCompareCharLexicoW(L'b', L'a', 0), -1);
    EXPECT_EQ(STR_nCompareCharSoupleW(L'a', L'A'), -1);
    EXPECT_EQ(STR_nCompareCharSoupleW(L'A', L'A'), 0);
    // Wide texts have no preparation, so the language comparison sees two
    // empty texts.
    EXPECT_EQ(STR_ChaineCompareW(L"abc", -1, L"xyz", -1, 0), 0);
    EXPECT_EQ(STR_ChaineCompareW(L"abc", -1, L"x", -1, 0x88), 0);
    EXPECT_FALSE(STR_bWhiteCharOrPunctW(L' '));
}

#include <gtest/gtest.h>

#include <iconv.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "charset/xEmulUnicode.h"
#include "strings/Tstring.h"

TEST(Conversion, CodePageNames) {
    EXPECT_STREQ(CodePageToIConv(1252), "CP1252");
    EXPECT_STREQ(CodePageToIConv(0), "CP1252");
    EXPECT_STREQ(CodePageToIConv(437), "CP1252");
    EXPECT_STREQ(CodePageToIConv(932), "CP932");
    EXPECT_STREQ(CodePageToIConv(1361), "CP1361");
    EXPECT_STREQ(CodePageToIConv(65001), "UTF-8");
    // Every name of the table must be known to the iconv of this tree.
    for (int cp : {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 1361, 65001}) {
        iconv_t cd = iconv_open("UTF-8", CodePageToIConv(cp));
        EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << cp;
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
}

TEST(Conversion, WideNameFallsBackToUTF32LE) {
    // Whatever the library makes of "UCS4LE", wide text converts as UCS-4 little-endian.
    iconv_t cd = iconv_open("UCS4LE", "CP1252");
    bool bConnu = cd != reinterpret_cast<iconv_t>(-1);
    if (bConnu) iconv_close(cd);
    iconv_t cd2 = iconv_open("UTF32LE", "CP1252");
    ASSERT_NE(cd2, reinterpret_cast<iconv_t>(-1)) << "the fallback name must be known";
    iconv_close(cd2);
    wchar_t w[4] = {1, 1, 1, 1};
    ASSERT_EQ(MultiByteToWideChar(1252, 0, "\x80" "a", -1, w, 4), 3);
    EXPECT_EQ(w[0], 0x20AC);  // no byte order mark, little-endian units
    EXPECT_EQ(w[1], L'a');
    EXPECT_EQ(w[2], 0);
    char b[8];
    ASSERT_EQ(WideCharToMultiByte(1252, 0, L"\x20AC" L"b", -1, b, 8, nullptr, nullptr), 3);
    EXPECT_STREQ(b, "\x80" "b");
}

TEST(Conversion, WindowsStyleCalls) {
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, nullptr, 0), 4);
    std::string longue(100, '\xE9');
    EXPECT_EQ(MultiByteToWideChar(1252, 0, longue.c_str(), -1, nullptr, 0), 101);
    wchar_t w[3];
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abcdef", -1, w, 3), 0);  // too small: failure
    EXPECT_EQ(MultiByteToWideChar(1252, 0, nullptr, -1, w, 3), 0);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "ab", 2, w, 3), 2);
    EXPECT_EQ(WideCharToMultiByte(65001, 0, L"\xE9t\xE9", -1, nullptr, 0, nullptr, nullptr), 6);
    EXPECT_EQ(nGetUTF8Len(L"\x20AC"), 4);
    EXPECT_EQ(nGetUNICODELen("\xE9t\xE9"), 4);
    char d[16];
    EXPECT_EQ(WideCharToMultiByte(1252, 0, L"\x4E00", -1, d, 16, nullptr, nullptr), 0);  // not in 1252
    EXPECT_EQ(MultiByteToMultiByte(1252, "\xE9", static_cast<unsigned>(-1), 65001, nullptr, 0, 0), 3);
    EXPECT_EQ(MultiByteToMultiByte(1252, "\xE9", 1, 65001, d, 16, 0), 2);
    EXPECT_EQ(memcmp(d, "\xC3\xA9", 2), 0);
    EXPECT_EQ(MultiByteToMultiByte(1252, "\xE9", 1, 1251, d, 16, 0), 0);  // not in 1251
    // Double-byte code page through the wide form.
    EXPECT_EQ(MultiByteToWideChar(932, 0, "\x82\xA0", 2, w, 3), 1);
    EXPECT_EQ(w[0], 0x3042);
    char* u = pszChar2UTF8("caf\xE9");
    ASSERT_NE(u, nullptr);
    EXPECT_STREQ(u, "caf\xC3\xA9");
    free(u);
}

TEST(Conversion, CodePageToUTF8LeavesAsciiAlone) {
    char d[10];
    memset(d, 'Z', sizeof d);
    EXPECT_EQ(MultiByteToUTF8(1252, "a\xE9" "b", 3, d, 10, 0), 4);
    EXPECT_EQ(memcmp(d, "a\xC3\xA9" "b\0\0\0\0\0\0", 10), 0);
    memset(d, 'Z', sizeof d);
    EXPECT_EQ(MultiByteToUTF8(0, "\xE9\xE8" "x\x80", 4, d, 10, 0), 8);
    EXPECT_EQ(memcmp(d, "\xC3\xA9\xC3\xA8x\xE2\x82\xAC\0\0", 10), 0);
    // Destination full: the ASCII prefix stops at its size, a run that cannot fit fails.
    EXPECT_EQ(MultiByteToUTF8(1252, "abcdef", 6, d, 3, 0), 3);
    EXPECT_EQ(MultiByteToUTF8(1252, "ab\xE9", 3, d, 3, 0), 0);
    // UTF-8 itself is a bounded copy with a forced terminator.
    EXPECT_EQ(MultiByteToUTF8(65001, "hello", 6, d, 4, 0), 3);
    EXPECT_STREQ(d, "hel");
    EXPECT_EQ(MultiByteToUTF8(65001, "hi", 2, d, 10, 0), 2);  // source not terminated within its length
    EXPECT_EQ(memcmp(d, "hi\0\0", 4), 0);
    // A long run goes through a heap work area.
    std::string run(600, '\xE9');
    std::string out(1300, 'Z');
    EXPECT_EQ(MultiByteToUTF8(1252, run.c_str(), run.size(), &out[0], out.size(), 0), 1200);
    for (size_t i = 0; i < 1200; i += 2) ASSERT_EQ(out.compare(i, 2, "\xC3\xA9"), 0) << i;
    // A double-byte character whose trail byte is in the ASCII range stays whole.
    memset(d, 'Z', sizeof d);
    EXPECT_EQ(MultiByteToUTF8(932, "\x83\x41x", 3, d, 10, 0), 4);  // KATAKANA A
    EXPECT_EQ(memcmp(d, "\xE3\x82\xA2x", 4), 0);
}

TEST(Conversion, EveryUpperByteAsIconvConvertsIt) {
    // The single-byte code pages convert runs by table: it must agree with
    // iconv for every byte, undefined ones included.
    for (unsigned cp : {874u, 1250u, 1251u, 1252u, 1253u, 1254u, 1255u, 1256u, 1257u, 1258u}) {
        iconv_t cd = iconv_open("UTF-8", CodePageToIConv(static_cast<int>(cp)));
        ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
        for (int b = 0x80; b < 0x100; ++b) {
            char src[3] = {'x', static_cast<char>(b), 'y'};
            char attendu[8] = {'x'};
            char* in = src + 1;
            size_t inleft = 1;
            char* out = attendu + 1;
            size_t outleft = 6;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            bool bOk = iconv(cd, &in, &inleft, &out, &outleft) != static_cast<size_t>(-1) &&
                       iconv(cd, nullptr, nullptr, &out, &outleft) != static_cast<size_t>(-1);
            *out++ = 'y';
            char d[16];
            int n = MultiByteToUTF8(cp, src, 3, d, sizeof d, 0);
            if (!bOk) {
                EXPECT_EQ(n, 0) << cp << " " << b;
                continue;
            }
            ASSERT_EQ(n, out - attendu) << cp << " " << b;
            EXPECT_EQ(memcmp(d, attendu, static_cast<size_t>(n)), 0) << cp << " " << b;
        }
        iconv_close(cd);
    }
    char d[4];
    EXPECT_EQ(MultiByteToUTF8(1252, "a\x81", 2, d, 4, 0), 0);  // undefined in 1252
}

TEST(Conversion, UTF8ToCodePage) {
    char d[8];
    memset(d, 'Z', sizeof d);
    EXPECT_EQ(UTF8ToMultiByte(1252, "a\xC3\xA9" "b", 4, d, 8, 0, nullptr, nullptr), 3);
    EXPECT_EQ(memcmp(d, "a\xE9" "b\0\0\0\0\0", 8), 0);
    EXPECT_EQ(UTF8ToMultiByte(1252, "\xE2\x82\xAC", 3, d, 8, 0, nullptr, nullptr), 1);
    EXPECT_EQ(static_cast<unsigned char>(d[0]), 0x80);
    EXPECT_EQ(UTF8ToMultiByte(1252, "\xC3", 1, d, 8, 0, nullptr, nullptr), 0);  // cut sequence
    EXPECT_EQ(UTF8ToMultiByte(1252, "\xE4\xB8\x80", 3, d, 8, 0, nullptr, nullptr), 0);  // not in 1252
    memset(d, 'Z', sizeof d);
    EXPECT_EQ(UTF8ToMultiByte(65001, "abc", 3, d, 8, 0, nullptr, nullptr), 3);
    EXPECT_EQ(memcmp(d, "abc\0\0\0\0\0", 8), 0);
    EXPECT_EQ(UTF8ToMultiByte(65001, "abcdefghij", 10, d, 8, 0, nullptr, nullptr), 7);
    EXPECT_STREQ(d, "abcdefg");
    EXPECT_EQ(UTF8ToMultiByte(65001, "abc", 3, d, 0, 0, nullptr, nullptr), 0);
}

TEST(UTF8, Scanning) {
    const char* t = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";
    const char* p = t;
    EXPECT_EQ(UTF8Len(p), 1);
    p = UTF8next(p);
    EXPECT_EQ(UTF8Len(p), 2);
    p = UTF8next(p);
    EXPECT_EQ(UTF8Len(p), 3);
    p = UTF8next(p);
    EXPECT_EQ(UTF8Len(p), 4);
    p = UTF8next(p);
    EXPECT_EQ(*p, 'z');
    // Stray continuation bytes and broken sequences advance without passing the end.
    EXPECT_EQ(UTF8Len("\x80\x80\x80"), 3);
    EXPECT_EQ(UTF8Len("\x80\x80\x80\x80\x80\x80\x80\x80"), 6);
    EXPECT_EQ(UTF8Len("\xE2" "a"), 1);
    EXPECT_EQ(UTF8Len("\xF0\x9F"), 2);
    EXPECT_EQ(UTF8Len(""), 1);

    int len = 3;
    EXPECT_EQ(UTF8FirstChar("\xE2\x82\xAC", len), 0x20AC);
    EXPECT_EQ(len, 3);
    len = 2;
    EXPECT_EQ(UTF8FirstChar("\xE2\x82\xAC", len), -1);
    EXPECT_EQ(len, 0);
    len = 4;
    EXPECT_EQ(UTF8FirstChar("\xF0\x9F\x98\x80", len), 0x1F600);
    EXPECT_EQ(len, 4);
    len = 5;
    EXPECT_EQ(UTF8FirstChar("A", len), 'A');
    EXPECT_EQ(len, 1);
    len = 2;
    EXPECT_EQ(UTF8FirstChar("\xC3\xA9", len), 0xE9);
    len = 2;
    EXPECT_EQ(UTF8FirstChar("\xC3" "a", len), -1);
    len = 5;
    EXPECT_EQ(UTF8FirstChar("\xF8\x80\x80\x80\x80", len), -1);
    len = 0;
    EXPECT_EQ(UTF8FirstChar("a", len), -1);
    len = 3;
    EXPECT_EQ(UTF8FirstChar(nullptr, len), -1);
}

TEST(UTF8, Validation) {
    EXPECT_TRUE(UTF8Valide(nullptr, 0));
    EXPECT_FALSE(UTF8Valide(nullptr, 3));
    EXPECT_TRUE(UTF8Valide("\xFF", 0));
    EXPECT_TRUE(UTF8Valide("\xFF", -5));
    EXPECT_TRUE(UTF8Valide("abc\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", -1));
    EXPECT_FALSE(UTF8Valide("\xE2\x82\xAC", 2));  // cut inside a 3-byte sequence
    EXPECT_TRUE(UTF8Valide("\xE2\x82\xAC", 3));
    EXPECT_FALSE(UTF8Valide("\xE2\x82", -1));
    EXPECT_FALSE(UTF8Valide("\x80", -1));
    EXPECT_FALSE(UTF8Valide("\xF8\x80\x80\x80\x80", -1));
    EXPECT_FALSE(UTF8Valide("\xC3" "a", -1));
    EXPECT_TRUE(UTF8Valide("ab\0\xFF", 4));  // the scan stops at a zero byte
}

TEST(UTF16, Helpers) {
    const UTF16CHAR s[] = {'H', 'e', 'l', 'L', 'o', 0};
    const UTF16CHAR t[] = {'L', 'L', 0};
    EXPECT_EQ(utf16len(s), 5);
    EXPECT_EQ(utf16nlen(s, 3), 3);
    EXPECT_EQ(utf16niutf16(s, t, 5), s + 2);
    EXPECT_EQ(utf16niutf16(s, t, 3), nullptr);
    EXPECT_EQ(utf16nicmp(s, t, 1), -1);
    UTF16CHAR c[8];
    utf16ncpy(c, s, 8);
    EXPECT_EQ(c[5], 0);
    EXPECT_EQ(c[7], 0);
    EXPECT_EQ(utf16nicmp(c, s, 8), 0);

    UTF16CHAR u[8];
    EXPECT_EQ(WideCharToUTF16(L"a\x1F600", -1, u, 8), 4);
    EXPECT_EQ(u[1], 0xD83D);
    EXPECT_EQ(u[2], 0xDE00);
    EXPECT_EQ(WideCharToUTF16(L"a\x1F600", -1, u, 2), 0);
    wchar_t w[8];
    EXPECT_EQ(UTF16ToWideChar(u, -1, w, 8), 3);
    EXPECT_EQ(w[1], 0x1F600);
    const UTF16CHAR seul[] = {0xD800, 'x', 0};
    EXPECT_EQ(UTF16ToWideChar(seul, -1, w, 8), 3);
    EXPECT_EQ(w[0], 0xFFFD);
    char m[8];
    EXPECT_EQ(MultiByteToUTF16(1252, "\xE9\x80", -1, u, 8), 3);
    EXPECT_EQ(u[0], 0xE9);
    EXPECT_EQ(u[1], 0x20AC);
    EXPECT_EQ(UTF16ToMultiByte(1252, u, -1, m, 8), 3);
    EXPECT_STREQ(m, "\xE9\x80");
}

TEST(UTF16, HeapConversions) {
    wchar_t* w = pszXSTR2WSTR("\xE9t\xE9", -1);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(wcscmp(w, L"\xE9t\xE9"), 0);
    char* x = pszWSTR2XSTR(w, 2, 65001);
    ASSERT_NE(x, nullptr);
    EXPECT_STREQ(x, "\xC3\xA9t");
    free(x);
    free(w);
    char* c = pszCSTR2XSTR("copy");
    EXPECT_STREQ(c, "copy");
    free(c);
    EXPECT_DOUBLE_EQ(wtof(L"12.5e1"), 125.0);
    std::wstring longue(300, L'1');
    EXPECT_GT(wtof(longue.c_str()), 1e98);  // read through at most 100 characters
    EXPECT_LT(wtof(longue.c_str()), 1e100);
}

TEST(Version, ComparesMajorThenRest) {
    EXPECT_EQ(nCompareVersionModule("15.00Ab", "14.99"), 1);
    EXPECT_EQ(nCompareVersionModule("15.00Ab", "15.00Ab"), 0);
    EXPECT_EQ(nCompareVersionModule("9.5", "10.1"), -1);
    EXPECT_EQ(nCompareVersionModule("15.01", "15.00Ab"), 1);
    EXPECT_EQ(nCompareVersionModule("15.00", "15.00Ab"), -1);
    // No dot, or longer than 20 characters: compared without crashing.
    EXPECT_EQ(nCompareVersionModule("15", "15"), 0);
    EXPECT_EQ(nCompareVersionModule("15", "15.1"), -1);
    EXPECT_EQ(nCompareVersionModule("16", "15.9"), 1);
    EXPECT_EQ(nCompareVersionModule("12345678901234567890123.1", "12345678901234567890999.2"), 0);
    EXPECT_EQ(nCompareVersionModule(nullptr, "0"), 0);
}

TEST(CTStringConversion, WideAndUTF8) {
    CTString s(L"\xE9t\xE9");
    EXPECT_STREQ(s.pszGet(), "\xE9t\xE9");
    EXPECT_EQ(s.nTaille(), 3);
    s.SetWide(L"\xE9", 65001);
    EXPECT_STREQ(s.pszGet(), "\xC3\xA9");
    s.SetWide(L"\x4E00", 1252);  // not representable: nothing lost silently into garbage
    EXPECT_TRUE(s.bEstVide());
    s.SetWide(nullptr);
    EXPECT_TRUE(s.bEstVide());
    s.SetUTF8("caf\xC3\xA9", 1252);
    EXPECT_STREQ(s.pszGet(), "caf\xE9");
    s.SetUTF8(s.pszGet() + 1, 65001);
    EXPECT_STREQ(s.pszGet(), "af\xE9");
    s.SetUTF8("\xC3", 1252);
    EXPECT_STREQ(s.pszGet(), "");
    s.SetXUTF8("caf\xE9");
    EXPECT_STREQ(s.pszGet(), "caf\xC3\xA9");
    s.SetXUTF8(s.pszGet(), 0);
    EXPECT_STREQ(s.pszGet(), "caf\xC3\x83\xC2\xA9");
    s.SetXUTF8("caf\xE9", 3);
    EXPECT_STREQ(s.pszGet(), "CAFE");

    CTString t("\xE9t\xE9");
    int n = 0;
    EXPECT_FALSE(t.bGetWide(nullptr, &n));
    EXPECT_EQ(n, 4);
    wchar_t w[4];
    n = 2;
    EXPECT_FALSE(t.bGetWide(w, &n));
    EXPECT_EQ(n, 4);
    n = 4;
    EXPECT_TRUE(t.bGetWide(w, &n));
    EXPECT_EQ(n, 4);
    EXPECT_EQ(wcscmp(w, L"\xE9t\xE9"), 0);
}

TEST(Conversion, CurrentCharsetFollowsTheAlphabetSelection) {
    char d[8];
    UTF16CHAR u[4];
    STR_ChangeAlphabet(204, const_cast<_stCHARTAB*>(&gstCharTab));  // Cyrillic: code page 1251
    EXPECT_EQ(MultiByteToUTF8_CurrentCharset("\xC0", 1, d, 8, 0), 2);
    EXPECT_EQ(memcmp(d, "\xD0\x90", 2), 0);
    EXPECT_EQ(UTF8ToMultiByte_CurrentCharset("\xD0\x90", 2, d, 8, 0, nullptr, nullptr), 1);
    EXPECT_EQ(static_cast<unsigned char>(d[0]), 0xC0);
    EXPECT_EQ(MultiByteToUTF16_CurrentCharset("\xC0", 1, u, 4), 1);
    EXPECT_EQ(u[0], 0x410);
    STR_ChangeAlphabet(0, const_cast<_stCHARTAB*>(&gstCharTab));
    EXPECT_EQ(MultiByteToUTF8_CurrentCharset("\xC0", 1, d, 8, 0), 2);
    EXPECT_EQ(memcmp(d, "\xC3\x80", 2), 0);
}

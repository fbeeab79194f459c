#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <cwchar>

#include "charset/xEmulCRT.h"

TEST(Radix, IntegersToText) {
    char b[70];
    EXPECT_STREQ(itoa(-255, b, 16), "-ff");
    EXPECT_STREQ(ultoa(0, b, 2), "0");
    EXPECT_STREQ(itoa(-2147483647 - 1, b, 10), "-2147483648");
    EXPECT_STREQ(ltoa(123456, b, 36), "2n9c");
    EXPECT_STREQ(i64toa(-9223372036854775807LL - 1, b, 10), "-9223372036854775808");
    EXPECT_STREQ(ui64toa(~0ULL, b, 2), std::string(64, '1').c_str());
    EXPECT_STREQ(i64toa(-9223372036854775807LL - 1, b, 2), ("-1" + std::string(63, '0')).c_str());
    EXPECT_STREQ(ui64toa(35, b, 36), "z");
    EXPECT_STREQ(ultoa(4294967295ul, b, 16), "ffffffff");
    wchar_t w[70];
    EXPECT_STREQ(itow(-255, w, 16), L"-ff");
    EXPECT_STREQ(ltow(10, w, 2), L"1010");
    EXPECT_STREQ(ultow(0, w, 10), L"0");
    EXPECT_STREQ(i64tow(-9223372036854775807LL - 1, w, 10), L"-9223372036854775808");
    EXPECT_STREQ(ui64tow(255, w, 8), L"377");
}

TEST(Radix, OutOfRangeRadixWritesOnlyATerminator) {
    // A guard byte right after the first character catches any longer write.
    for (int radix : {-5, 0, 1, 37, 1000}) {
        char b[2] = {'x', 'G'};
        EXPECT_STREQ(i64toa(-123456789012345LL, b, radix), "") << radix;
        EXPECT_EQ(b[1], 'G');
        b[0] = 'x';
        EXPECT_STREQ(ui64toa(~0ULL, b, radix), "");
        EXPECT_STREQ(itoa(-1, b, radix), "");
        EXPECT_EQ(b[1], 'G');
        wchar_t w[2] = {L'x', L'G'};
        EXPECT_STREQ(ltow(-7, w, radix), L"");
        EXPECT_EQ(w[1], L'G');
    }
}

TEST(BoundedPrintf, CutsAndReports) {
    char b[8];
    memset(b, 'Z', sizeof b);
    EXPECT_EQ(sznprintf(b, 3, "%d", 12345), -1);
    EXPECT_STREQ(b, "123");
    EXPECT_EQ(b[4], 'Z');  // buf holds max + 1 bytes, nothing beyond
    EXPECT_EQ(sznprintf(b, 3, "%d", 12), 2);
    EXPECT_STREQ(b, "12");
    EXPECT_EQ(sznprintf(b, 3, "%s", "abc"), 3);
    EXPECT_EQ(sznprintf(b, 0, "%s", "abc"), -1);
    EXPECT_STREQ(b, "");
    wchar_t w[4] = {L'a', L'b', L'c', L'd'};
    EXPECT_EQ(sznwprintf(w, 3, L"%d", 5), -1);
    EXPECT_EQ(w[0], 0);
    EXPECT_EQ(w[3], 0);
    EXPECT_EQ(w[1], L'b');
}

TEST(Hexa, LeadingDigits) {
    int n = -1;
    EXPECT_EQ(nGetEntierHexa("1fG", n), 31);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(nGetEntierHexa("x12", n), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(nGetEntierHexa("FFFFFFFFFFFFFFFF", n), -1);
    EXPECT_EQ(n, 16);
    EXPECT_EQ(nGetEntierHexa("aBc", n), 0xABC);
    EXPECT_EQ(nGetEntierHexa(nullptr, n), 0);
    EXPECT_EQ(n, 0);
}

TEST(TextUtilities, CaseFillAndLocale) {
    char s[] = "aBc1\xE9";
    EXPECT_STREQ(my_strupr(s), "ABC1\xE9");
    EXPECT_STREQ(my_strlwr(s), "abc1\xE9");
    wchar_t w[] = L"abcd";
    EXPECT_STREQ(wcsset(w, L'x'), L"xxxx");
    wchar_t v[] = L"abcd";
    EXPECT_STREQ(wcsnset(v, L'y', 2), L"yycd");
    EXPECT_STREQ(pszSetLocale(LC_NUMERIC, "C"), "C");
    EXPECT_STREQ(pszGetLocale(LC_NUMERIC), "C");
    UnsetLocale(LC_NUMERIC, "ignored");
    EXPECT_STREQ(pszGetLocale(LC_NUMERIC), "C");
    EXPECT_NE(pszSetSystemLocale(LC_NUMERIC), nullptr);
    UnsetLocale(LC_NUMERIC, nullptr);
}

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "strings/Tstring.h"
#include "TstringTestUtil.h"

namespace {

long Estime(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    long n = CTString::s_nEstimeFormat(fmt, args);
    va_end(args);
    return n;
}

std::string Libc(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    char* p = nullptr;
    int n = vasprintf(&p, fmt, args);
    va_end(args);
    std::string r = n >= 0 ? std::string(p, static_cast<size_t>(n)) : std::string("<error>");
    free(p);
    return r;
}

// Unchecked formats: some cases are deliberately odd.
int Formate(CTString& s, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int n = s.FormatV(fmt, args);
    va_end(args);
    return n;
}

}  // namespace

TEST(CTStringFormat, EstimateScan) {
    EXPECT_EQ(Estime(""), 0);
    EXPECT_EQ(Estime("abc"), 6);
    EXPECT_EQ(Estime("100%%"), 8);
    EXPECT_EQ(Estime("x%"), 2);  // a trailing % adds nothing
    EXPECT_EQ(Estime("%s", static_cast<const char*>(nullptr)), 6);
    EXPECT_EQ(Estime("%s", ""), 1);
    EXPECT_EQ(Estime("%s", "hello"), 5);
    EXPECT_EQ(Estime("%10s", "hello"), 10);
    EXPECT_EQ(Estime("%5.2s", "abcdef"), 2);
    EXPECT_EQ(Estime("%ls", L"wide"), 4);
    EXPECT_EQ(Estime("%c", 'x'), 2);
    EXPECT_EQ(Estime("%d", 5), 32);
    EXPECT_EQ(Estime("%40.5d", 5), 45);
    EXPECT_EQ(Estime("%lld", 5LL), 32);
    EXPECT_EQ(Estime("%f", 1.0), 512);
    EXPECT_EQ(Estime("%#x", 1), 34);
    EXPECT_EQ(Estime("%*d", 100, 1), 100);
    EXPECT_EQ(Estime("%.*s", 3, "abcdef"), 3);
    EXPECT_EQ(Estime("%p", nullptr), 32);
    EXPECT_EQ(Estime("%n", nullptr), 0);
    EXPECT_EQ(Estime("%y"), 0);
    // The argument cursor follows the conversions: the string after a double,
    // a long long and a long double is read where the formatter reads it.
    EXPECT_EQ(Estime("%f%lld%Lf%s", 1.0, 2LL, 3.0L, "abcd"), 512 + 32 + 512 + 4);
    EXPECT_EQ(Estime("%a%s", 1.0, "abcd"), 4);
    EXPECT_EQ(Estime("%zu%s", static_cast<size_t>(1), "abcd"), 32 + 4);
    // A negative precision is no precision (libc ignores it), never a negative amount.
    EXPECT_EQ(Estime("%.*s", -5, "abcdef"), 6);
    EXPECT_EQ(Estime("%.*c", -1, 'x'), 2);
    // Extreme widths and precisions stay within what the formatter can produce.
    EXPECT_EQ(Estime("%*.*d", 2147483647, 2147483647, 1), 2147483647L - 2);
    EXPECT_EQ(Estime("%*.*d", -2147483647 - 1, -1, 1), 32);
}

TEST(CTStringFormat, EmptyFormatGivesTwoByteBlock) {
    CTString s("previous");
    EXPECT_EQ(s.printf("%s", ""), 0);
    EXPECT_STREQ(s.pszGet(), "");
    ExpectBloc(s, 3);  // estimate 1 for "": T + 2 bytes
    EXPECT_EQ(Formate(s, ""), 0);
    ExpectBloc(s, 2);
    CTString f("x");
    Formate(f, nullptr);
    EXPECT_STREQ(f.pszGet(), "");
}

TEST(CTStringFormat, FormatsLikeLibcAndStaysInTheBlock) {
    CTString s;
    EXPECT_EQ(s.printf("%5.2s", "abcdef"), 5);
    EXPECT_STREQ(s.pszGet(), "   ab");
    EXPECT_EQ(s.printf("%s|%d|%x", "abc", -12, 255), 10);
    EXPECT_STREQ(s.pszGet(), "abc|-12|ff");
    // Formats whose output exceeds the estimate: precision below width on c and
    // s, wide floating values, conversions the scan does not know.
    std::string grand(3000, 'g');
    CTString t;
    Formate(t, "%8.1c|%5.1s", 'z', "hello");
    EXPECT_EQ(Libc("%8.1c|%5.1s", 'z', "hello"), t.pszGet());
    t.printf("%.400f", 1e300);  // 702 characters for an estimate of 512
    EXPECT_EQ(Libc("%.400f", 1e300), t.pszGet());
    EXPECT_EQ(t.nTaille(), 702);
    ExpectExact(t);  // the estimate fell short: grown to the measured length exactly
    t.printf("%a %A", 1.5, 2.25);
    EXPECT_EQ(Libc("%a %A", 1.5, 2.25), t.pszGet());
    Formate(t, "%.*s|", -5, "abcdefghijklmnop");  // an estimate once taken as negative
    EXPECT_STREQ(t.pszGet(), "abcdefghijklmnop|");
    // A negative precision counts as none, so the estimate covers the text: T + 2 bytes.
    long estimate = Estime("%.*s|", -5, "abcdefghijklmnop");
    EXPECT_GE(estimate, 17);
    ExpectBloc(t, static_cast<size_t>(estimate) + 2);
    Formate(t, "%I64d|%s", 7, "after");
    EXPECT_EQ(Libc("%I64d|%s", 7, "after"), t.pszGet());
    t.printf("%-20.3s|", grand.c_str());
    EXPECT_EQ(Libc("%-20.3s|", grand.c_str()), t.pszGet());
    t.printf("%s%s", grand.c_str(), grand.c_str());
    EXPECT_EQ(t.nTaille(), 6000);
    ExpectBloc(t, 6002);  // the estimate was enough: T + 2 bytes
    t.printf("%1$s-%2$d-%1$s", "p", 9);
    EXPECT_STREQ(t.pszGet(), "p-9-p");
    t.printf("%lc%ls", L'a', L"bc");
    EXPECT_STREQ(t.pszGet(), "abc");
    // A wide character the C locale cannot write: the formatter fails, the text is empty.
    EXPECT_LT(t.printf("%ls", L"\x20AC"), 0);
    EXPECT_STREQ(t.pszGet(), "");
}

TEST(CTStringFormat, ArgumentsFromTheStringItself) {
    CTString s("abc");
    s.printf("%s-%s", s.pszGet(), s.pszGet());
    EXPECT_STREQ(s.pszGet(), "abc-abc");
    s.printf("%.400f%s", 1e300, s.pszGet());  // grows past the estimate as well
    EXPECT_EQ(s.nTaille(), 702 + 7);
    EXPECT_STREQ(s.pszGet() + 702, "abc-abc");
    s.AddPrintf("%s", s.pszGet());
    EXPECT_EQ(s.nTaille(), 2 * (702 + 7));
}

TEST(CTStringFormat, Companions) {
    CTStringFormat f("%03d-%s", 7, "x");
    EXPECT_STREQ(f.pszGet(), "007-x");
    CTString base("a");
    base.AddPrintf("%c%c", 'b', 'c');
    EXPECT_STREQ(base.pszGet(), "abc");
}

TEST(CTStringFormat, MessageFormatters) {
    CTString s("unchanged");
    EXPECT_EQ(s.FormatMessageA("%2$s-%1$u", 7u, "x"), 3u);
    EXPECT_STREQ(s.pszGet(), "x-7");
    EXPECT_GT(s.FormatMessageWin("%1!u! files in %2", 3u, "dir"), 0u);
    EXPECT_STREQ(s.pszGet(), "3 files in dir");
    s = "kept";
    EXPECT_EQ(s.FormatMessageWin("%0"), 0u);  // nothing formatted: the string stays
    EXPECT_STREQ(s.pszGet(), "kept");
    CTStringFormatMessage m("%1$s=%2$d", "n", 12);
    EXPECT_STREQ(m.pszGet(), "n=12");
}

// Rectangles, Latin-1 character helpers, system answers, MulDiv, GUIDs and
// the prime test.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "platform/EmuleUSER32.h"
#include "platform/XMath.h"
#include "platform/XSystem.h"
#include "platform/xmalloc.h"
#include "strings/CharTab.h"

namespace {
RECT R(int l, int t, int r, int b)
{
    RECT rc;
    SetRect(&rc, l, t, r, b);
    return rc;
}
bool Egal(const RECT &rc, int l, int t, int r, int b)
{
    return rc.left == l && rc.top == t && rc.right == r && rc.bottom == b;
}
} // namespace

TEST(EmuleUSER32, RectangleBasics)
{
    RECT rc = R(1, 2, 3, 4);
    EXPECT_TRUE(Egal(rc, 1, 2, 3, 4));
    EXPECT_FALSE(SetRect(nullptr, 0, 0, 1, 1));
    EXPECT_FALSE(IsRectEmpty(&rc));
    RECT vide = R(5, 5, 5, 9);
    EXPECT_TRUE(IsRectEmpty(&vide));
    EXPECT_TRUE(bEmule_IsRectEmpty(&vide));
    vide = R(5, 5, 9, 4);
    EXPECT_TRUE(IsRectEmpty(&vide));
    EXPECT_TRUE(SetRectEmpty(&rc));
    EXPECT_TRUE(Egal(rc, 0, 0, 0, 0));
    RECT a = R(0, 0, 10, 10), b;
    EXPECT_TRUE(CopyRect(&b, &a));
    EXPECT_TRUE(EqualRect(&a, &b));
    b.bottom = 11;
    EXPECT_FALSE(EqualRect(&a, &b));
    EXPECT_TRUE(PtInRect(&a, POINT{0, 0}));
    EXPECT_TRUE(PtInRect(&a, POINT{9, 9}));
    EXPECT_FALSE(PtInRect(&a, POINT{10, 5}));
    EXPECT_FALSE(PtInRect(&a, POINT{5, 10}));
    EXPECT_FALSE(PtInRect(&a, POINT{-1, 5}));
    EXPECT_TRUE(OffsetRect(&a, 2, -3));
    EXPECT_TRUE(Egal(a, 2, -3, 12, 7));
    EXPECT_TRUE(bEmule_OffsetRect(&a, -2, 3));
    EXPECT_TRUE(Egal(a, 0, 0, 10, 10));
    EXPECT_TRUE(InflateRect(&a, 1, 2));
    EXPECT_TRUE(Egal(a, -1, -2, 11, 12));
}

TEST(EmuleUSER32, IntersectUnionSubtract)
{
    RECT a = R(0, 0, 10, 10), b = R(20, 0, 30, 10), c = R(5, 5, 15, 15), d = R(1, 1, 1, 1);
    EXPECT_FALSE(IntersectRect(&d, &a, &b));
    EXPECT_TRUE(Egal(d, 0, 0, 0, 0));
    EXPECT_TRUE(IntersectRect(&d, &a, &c));
    EXPECT_TRUE(Egal(d, 5, 5, 10, 10));
    RECT touche = R(10, 0, 20, 10); // shares only an edge
    EXPECT_FALSE(IntersectRect(&d, &a, &touche));
    EXPECT_TRUE(bEmule_IntersectRect(&d, &a, &c));
    EXPECT_TRUE(Egal(d, 5, 5, 10, 10));
    RECT vide = R(3, 3, 3, 8);
    EXPECT_FALSE(bEmule_IntersectRect(&d, &a, &vide));
    EXPECT_TRUE(Egal(d, 0, 0, 0, 0));

    EXPECT_TRUE(UnionRect(&d, &a, &c));
    EXPECT_TRUE(Egal(d, 0, 0, 15, 15));
    EXPECT_TRUE(UnionRect(&d, &vide, &c));
    EXPECT_TRUE(Egal(d, 5, 5, 15, 15));
    EXPECT_TRUE(UnionRect(&d, &a, &vide));
    EXPECT_TRUE(Egal(d, 0, 0, 10, 10));
    EXPECT_FALSE(UnionRect(&d, &vide, &vide));
    EXPECT_TRUE(Egal(d, 0, 0, 0, 0));

    RECT m = R(5, 0, 15, 10);
    EXPECT_TRUE(SubtractRect(&d, &a, &m));
    EXPECT_TRUE(Egal(d, 0, 0, 5, 10));
    m = R(-5, 0, 4, 10);
    EXPECT_TRUE(SubtractRect(&d, &a, &m));
    EXPECT_TRUE(Egal(d, 4, 0, 10, 10));
    m = R(0, -1, 10, 3);
    EXPECT_TRUE(SubtractRect(&d, &a, &m));
    EXPECT_TRUE(Egal(d, 0, 3, 10, 10));
    m = R(0, 6, 10, 20);
    EXPECT_TRUE(SubtractRect(&d, &a, &m));
    EXPECT_TRUE(Egal(d, 0, 0, 10, 6));
    m = R(2, 2, 4, 4);
    EXPECT_TRUE(SubtractRect(&d, &a, &m));
    EXPECT_TRUE(Egal(d, 0, 0, 10, 10));
    EXPECT_TRUE(SubtractRect(&d, &a, &b));
    EXPECT_TRUE(Egal(d, 0, 0, 10, 10));
    m = R(-1, -1, 11, 11);
    EXPECT_FALSE(SubtractRect(&d, &a, &m));
    EXPECT_TRUE(Egal(d, 0, 0, 0, 0));
    EXPECT_FALSE(SubtractRect(&d, &vide, &a));
    // The result may be the first rectangle itself.
    m = R(5, 0, 15, 10);
    EXPECT_TRUE(SubtractRect(&a, &a, &m));
    EXPECT_TRUE(Egal(a, 0, 0, 5, 10));
}

TEST(EmuleUSER32, CharacterHelpers)
{
    for (int c = 0; c < 256; ++c) {
        const bool bAttendu = (gpbyIsChaAlphaNumeric_Latin1[c >> 3] >> (c & 7)) & 1;
        EXPECT_EQ(LinuxIsCharAlphaNumericA(static_cast<char>(c)) != 0, bAttendu);
        EXPECT_EQ(bEmule_IsCharAlphaNumericA(static_cast<char>(c)) != 0, bAttendu);
        // A value below 0x10000 is a character, not a pointer.
        EXPECT_EQ(nEmule_CharUpperA(reinterpret_cast<char *>(static_cast<uintptr_t>(c))), pToUpper_Latin1[c]);
        EXPECT_EQ(nEmule_CharLowerA(reinterpret_cast<char *>(static_cast<uintptr_t>(c))), pToLower_Latin1[c]);
    }
    EXPECT_TRUE(bEmule_IsCharAlphaNumericA('\xE9'));
    EXPECT_FALSE(bEmule_IsCharAlphaNumericA('\xD7'));
    EXPECT_EQ(nEmule_CharUpperA(reinterpret_cast<char *>(0xE9)), 0xC9);
    EXPECT_EQ(nEmule_CharUpperA(reinterpret_cast<char *>(0x1E9)), 0xC9);
    char sz[] = "\xE9t\xE9 \xFF!";
    EXPECT_EQ(nEmule_CharUpperA(sz), reinterpret_cast<intptr_t>(sz));
    EXPECT_STREQ(sz, "\xC9T\xC9 \x9F!");
    EXPECT_EQ(nEmule_CharLowerA(sz), reinterpret_cast<intptr_t>(sz));
    EXPECT_STREQ(sz, "\xE9t\xE9 \xFF!");

    char szSet[] = "abcd";
    EXPECT_EQ(_strset(szSet, '*'), szSet);
    EXPECT_STREQ(szSet, "****");
    char szN[] = "abcd";
    EXPECT_STREQ(_strnset(szN, '-', 2), "--cd");
    EXPECT_STREQ(_strnset(szN, '+', 10), "++++");
}

TEST(XSystem, AnswersMulDivGuid)
{
    EXPECT_FALSE(bWindowsSeven() || bWindowsNT() || bWindowsVista() || bWindowsXP() || bWindows2000() ||
                 bWindowsSmartphone() || bWindowsCE2002() || bIsWindows64());
    EXPECT_EQ(GetSystemDefaultLangID(), 0x0800);

    EXPECT_EQ(MulDiv(7, 3, 2), 11);
    EXPECT_EQ(MulDiv(-7, 3, 2), -11);
    EXPECT_EQ(MulDiv(7, -3, 2), -11);
    EXPECT_EQ(MulDiv(7, 3, -2), -11);
    EXPECT_EQ(MulDiv(-7, 3, -2), 11);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(MulDiv(10, 10, 3), 33);
    EXPECT_EQ(MulDiv(5, 1, 2), 3);
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(MulDiv(0, 5, 7), 0);
    // The product wraps in 32 bits.
    EXPECT_EQ(MulDiv(65536, 65536, 1), 0);
    EXPECT_EQ(MulDiv(INT_MIN, 1, -1), INT_MIN);

    GUID a{0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    GUID b = a;
    EXPECT_TRUE(IsEqualGUID(a, b));
    b.Data4[7] = 9;
    EXPECT_FALSE(IsEqualGUID(a, b));

    void *p = XMALLOC_pNew_(16);
    ASSERT_NE(p, nullptr);
    memset(p, 1, 16);
    p = XMALLOC_pResize_(p, 64);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(static_cast<unsigned char *>(p)[15], 1);
    XMALLOC_Del_(p);
    XMALLOC_Del_(nullptr);
}

TEST(XMath, Prime)
{
    EXPECT_TRUE(CXMath::bEstPremier(1));
    EXPECT_TRUE(CXMath::bEstPremier(2));
    EXPECT_TRUE(CXMath::bEstPremier(3));
    EXPECT_TRUE(CXMath::bEstPremier(7));
    EXPECT_FALSE(CXMath::bEstPremier(0));
    EXPECT_FALSE(CXMath::bEstPremier(4));
    EXPECT_FALSE(CXMath::bEstPremier(9));
    EXPECT_FALSE(CXMath::bEstPremier(25));
    EXPECT_FALSE(CXMath::bEstPremier(49));
    EXPECT_FALSE(CXMath::bEstPremier(91));
    // Against a plain sieve.
    const unsigned long N = 5000;
    std::vector<bool> vPremier(N, true);
    for (unsigned long i = 2; i < N; ++i)
        for (unsigned long k = 2 * i; k < N; k += i)
            vPremier[k] = false;
    for (unsigned long n = 2; n < N; ++n)
        EXPECT_EQ(CXMath::bEstPremier(n) != 0, vPremier[n]) << n;
    EXPECT_TRUE(CXMath::bEstPremier(2147483647ul));
    EXPECT_FALSE(CXMath::bEstPremier(2147483645ul)); // 5 * 429496729
}

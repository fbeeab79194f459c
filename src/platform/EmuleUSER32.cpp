// Rectangles and Latin-1 character helpers.
#include "platform/EmuleUSER32.h"

#include "strings/CharTab.h"

namespace {

inline bool bEmpty(const RECT *pr)
{
    return pr == nullptr || pr->right <= pr->left || pr->bottom <= pr->top;
}

inline void Vide(RECT *pr)
{
    if (pr != nullptr)
        pr->left = pr->top = pr->right = pr->bottom = 0;
}

inline int32_t nMax(int32_t a, int32_t b) { return a > b ? a : b; }
inline int32_t nMin(int32_t a, int32_t b) { return a < b ? a : b; }

// Intersection of two rectangles; false when they share no interior point.
bool bIntersection(RECT *prOut, const RECT *prA, const RECT *prB)
{
    if (prA == nullptr || prB == nullptr)
        return false;
    RECT r;
    r.left = nMax(prA->left, prB->left);
    r.top = nMax(prA->top, prB->top);
    r.right = nMin(prA->right, prB->right);
    r.bottom = nMin(prA->bottom, prB->bottom);
    if (r.right <= r.left || r.bottom <= r.top)
        return false;
    *prOut = r;
    return true;
}

inline bool bInSet(const unsigned char *pbySet, char c)
{
    const unsigned char by = static_cast<unsigned char>(c);
    return (pbySet[by >> 3] >> (by & 7)) & 1;
}

intptr_t nMapCase(char *p, const unsigned char *pbyTable)
{
    const uintptr_t nValue = reinterpret_cast<uintptr_t>(p);
    if (nValue < 0x10000)
        return pbyTable[nValue & 0xFF];
    for (unsigned char *pby = reinterpret_cast<unsigned char *>(p); *pby != 0; ++pby)
        *pby = pbyTable[*pby];
    return static_cast<intptr_t>(nValue);
}

} // namespace

int SetRect(RECT *pr, int nLeft, int nTop, int nRight, int nBottom)
{
    if (pr == nullptr)
        return 0;
    pr->left = nLeft;
    pr->top = nTop;
    pr->right = nRight;
    pr->bottom = nBottom;
    return 1;
}

int SetRectEmpty(RECT *pr)
{
    if (pr == nullptr)
        return 0;
    Vide(pr);
    return 1;
}

int CopyRect(RECT *prDst, const RECT *prSrc)
{
    if (prDst == nullptr || prSrc == nullptr)
        return 0;
    *prDst = *prSrc;
    return 1;
}

int IsRectEmpty(const RECT *pr) { return bEmpty(pr) ? 1 : 0; }
int bEmule_IsRectEmpty(const RECT *pr) { return IsRectEmpty(pr); }

int EqualRect(const RECT *prA, const RECT *prB)
{
    if (prA == nullptr || prB == nullptr)
        return 0;
    return prA->left == prB->left && prA->top == prB->top && prA->right == prB->right &&
           prA->bottom == prB->bottom;
}

int PtInRect(const RECT *pr, POINT pt)
{
    if (pr == nullptr)
        return 0;
    return pr->left <= pt.x && pt.x < pr->right && pr->top <= pt.y && pt.y < pr->bottom;
}

int OffsetRect(RECT *pr, int dx, int dy)
{
    if (pr == nullptr)
        return 0;
    pr->left += dx;
    pr->right += dx;
    pr->top += dy;
    pr->bottom += dy;
    return 1;
}

int bEmule_OffsetRect(RECT *pr, int dx, int dy)
{
    OffsetRect(pr, dx, dy);
    return 1;
}

int InflateRect(RECT *pr, int dx, int dy)
{
    if (pr == nullptr)
        return 0;
    pr->left -= dx;
    pr->top -= dy;
    pr->right += dx;
    pr->bottom += dy;
    return 1;
}

int IntersectRect(RECT *prDst, const RECT *prA, const RECT *prB)
{
    if (prDst == nullptr)
        return 0;
    if (!bIntersection(prDst, prA, prB)) {
        Vide(prDst);
        return 0;
    }
    return 1;
}

int bEmule_IntersectRect(RECT *prDst, const RECT *prA, const RECT *prB)
{
    if (prDst == nullptr)
        return 0;
    if (bEmpty(prA) || bEmpty(prB)) {
        Vide(prDst);
        return 0;
    }
    return IntersectRect(prDst, prA, prB);
}

int UnionRect(RECT *prDst, const RECT *prA, const RECT *prB)
{
    if (prDst == nullptr)
        return 0;
    const bool bEmptyA = bEmpty(prA), bEmptyB = bEmpty(prB);
    if (bEmptyA && bEmptyB) {
        Vide(prDst);
        return 0;
    }
    if (bEmptyA) {
        *prDst = *prB;
    } else if (bEmptyB) {
        *prDst = *prA;
    } else {
        RECT r;
        r.left = nMin(prA->left, prB->left);
        r.top = nMin(prA->top, prB->top);
        r.right = nMax(prA->right, prB->right);
        r.bottom = nMax(prA->bottom, prB->bottom);
        *prDst = r;
    }
    return 1;
}

int SubtractRect(RECT *prDst, const RECT *prA, const RECT *prB)
{
    if (prDst == nullptr)
        return 0;
    if (bEmpty(prA)) {
        Vide(prDst);
        return 0;
    }
    const RECT a = *prA; // prDst may be prA
    *prDst = a;
    RECT rInter;
    if (bEmpty(prB) || !bIntersection(&rInter, &a, prB))
        return 1;
    if (EqualRect(&rInter, &a)) {
        Vide(prDst);
        return 0;
    }
    if (rInter.top == a.top && rInter.bottom == a.bottom) {
        if (rInter.left == a.left)
            prDst->left = rInter.right;
        else if (rInter.right == a.right)
            prDst->right = rInter.left;
    } else if (rInter.left == a.left && rInter.right == a.right) {
        if (rInter.top == a.top)
            prDst->top = rInter.bottom;
        else if (rInter.bottom == a.bottom)
            prDst->bottom = rInter.top;
    }
    return 1;
}

int LinuxIsCharAlphaNumericA(char c) { return bInSet(pbyIsCharAlphaNumeric, c) ? 1 : 0; }
int bEmule_IsCharAlphaNumericA(char c) { return bInSet(gpbyIsChaAlphaNumeric_Latin1, c) ? 1 : 0; }

intptr_t nEmule_CharUpperA(char *p) { return nMapCase(p, pToUpper_Latin1); }
intptr_t nEmule_CharLowerA(char *p) { return nMapCase(p, pToLower_Latin1); }

char *_strset(char *psz, int c)
{
    if (psz != nullptr) {
        for (char *p = psz; *p != 0; ++p)
            *p = static_cast<char>(c);
    }
    return psz;
}

char *_strnset(char *psz, int c, size_t n)
{
    if (psz != nullptr) {
        for (size_t i = 0; i < n && psz[i] != 0; ++i)
            psz[i] = static_cast<char>(c);
    }
    return psz;
}

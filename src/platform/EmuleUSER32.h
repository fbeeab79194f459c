// Rectangle arithmetic and Latin-1 character helpers with the Windows names
// (and the bEmule_/nEmule_ forms the string functions use).
#pragma once

#include <cstddef>
#include <cstdint>

struct tagRECT {
    int32_t left;
    int32_t top;
    int32_t right;  // exclusive
    int32_t bottom; // exclusive
};
typedef tagRECT RECT;
typedef tagRECT *LPRECT;
static_assert(sizeof(tagRECT) == 16, "four signed 32-bit fields");

struct tagPOINT {
    int32_t x;
    int32_t y;
};
typedef tagPOINT POINT;
static_assert(sizeof(tagPOINT) == 8, "two signed 32-bit fields");

// A rectangle is empty when right <= left or bottom <= top. Functions answer
// false (or treat the rectangle as empty) for null pointers.
int SetRect(RECT *pr, int nLeft, int nTop, int nRight, int nBottom);
int SetRectEmpty(RECT *pr);
int CopyRect(RECT *prDst, const RECT *prSrc);
int IsRectEmpty(const RECT *pr);
int bEmule_IsRectEmpty(const RECT *pr);
int EqualRect(const RECT *prA, const RECT *prB);
int PtInRect(const RECT *pr, POINT pt);
int OffsetRect(RECT *pr, int dx, int dy);
int bEmule_OffsetRect(RECT *pr, int dx, int dy);
int InflateRect(RECT *pr, int dx, int dy);
int IntersectRect(RECT *prDst, const RECT *prA, const RECT *prB);
int bEmule_IntersectRect(RECT *prDst, const RECT *prA, const RECT *prB);
int UnionRect(RECT *prDst, const RECT *prA, const RECT *prB);
int SubtractRect(RECT *prDst, const RECT *prA, const RECT *prB);

int LinuxIsCharAlphaNumericA(char c);
int bEmule_IsCharAlphaNumericA(char c);
// A pointer value below 0x10000 is a single character: its upper (lower)
// case is answered. Otherwise the text is converted in place and the pointer
// is answered.
intptr_t nEmule_CharUpperA(char *p);
intptr_t nEmule_CharLowerA(char *p);
char *_strset(char *psz, int c);
char *_strnset(char *psz, int c, size_t n);

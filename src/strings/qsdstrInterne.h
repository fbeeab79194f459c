// Helpers shared by the dynamic string sources.
#pragma once

#include <cstddef>

#include "strings/qsdstr.h"

// A piece of text to append: bytes, not terminated.
struct stQSDMORCEAU {
    const void* p;
    size_t nLen;
};

// True when p points into the block of pData (data area, terminator included).
bool QSD_bDansBloc(const unsigned char* pData, const void* p);

// Byte order comparison, then the shorter is smaller.
int QSD_nCompareOctets(const unsigned char* a, size_t la, const unsigned char* b, size_t lb);
// Loose comparison: spaces trimmed, characters compared without case or accent.
int QSD_nCompareSouple(const unsigned char* a, size_t la, const unsigned char* b, size_t lb);
// Very loose: upper case, no accents, no separators, then strcmp.
int QSD_nCompareTresSouple(const unsigned char* a, size_t la, const unsigned char* b, size_t lb);

// Conversions into r (8-bit text kind); on failure r is empty and the code returned.
int QSD_nWideVersANSI(CQSDSTR& r, const wchar_t* w, long n, unsigned nCodePage, unsigned nFlags,
                      const char* pszDefaut, int* pbUtilise, long nExtra);
int QSD_nANSIVersWide(CQSDSTR& r, const char* s, long nLen, unsigned nCodePage, unsigned nFlags, long nExtra);

// Code page and Unicode conversions on iconv, UTF-8 scanning and validation,
// UTF-16 helpers and the module version comparison.
//
// Code pages are Windows numbers (1252 default 8-bit set, 65001 UTF-8); wide
// text is 32-bit wchar_t (UCS-4 little-endian); UTF-16 text is 16-bit units.
#pragma once

#include <cstdint>
#include <cwchar>

#include "strings/CharTab.h"

typedef uint16_t UTF16CHAR;

// Wide text goes to and from iconv as 4-byte units in both trees.
static_assert(sizeof(wchar_t) == 4, "wide characters are UCS-4");

// iconv name of a Windows code page; unknown code pages convert as "CP1252".
const char* CodePageToIConv(int codePage);

// Windows-style conversions (flags, default character and "used default" are
// accepted and not used). A length of -1 converts up to and with the terminator.
// Without a destination they measure. 0 means failure.
int MultiByteToWideChar(unsigned int codePage, unsigned int flags, const char* src, int srcLen,
                        wchar_t* dst, int dstCount);
int WideCharToMultiByte(unsigned int codePage, unsigned int flags, const wchar_t* src, int srcLen,
                        char* dst, int dstSize, const char* defaultChar, int* usedDefault);
int MultiByteToMultiByte(unsigned int fromCodePage, const char* src, unsigned int srcLen,
                         unsigned int toCodePage, char* dst, unsigned int dstSize, unsigned int flags);

int nGetUNICODELen(const char* psz);
int nGetUTF8Len(const wchar_t* pwsz);
char* pszChar2UTF8(const char* psz);

// Code page <-> UTF-8; ASCII bytes are copied, only non-ASCII runs go through iconv.
int MultiByteToUTF8(unsigned int codePage, const char* src, unsigned long srcLen, char* dst,
                    unsigned long dstSize, unsigned int flags);
int UTF8ToMultiByte(unsigned int codePage, const char* src, unsigned long srcLen, char* dst,
                    unsigned long dstSize, unsigned int flags, const char* defaultChar,
                    int* usedDefault);
int MultiByteToUTF8_CurrentCharset(const char* src, unsigned long srcLen, char* dst,
                                   unsigned long dstSize, unsigned int flags);
int UTF8ToMultiByte_CurrentCharset(const char* src, unsigned long srcLen, char* dst,
                                   unsigned long dstSize, unsigned int flags,
                                   const char* defaultChar, int* usedDefault);

// UTF-8 scanning.
// TabUTF8len (lead byte >> 2 -> sequence length) is in strings/CharTab.h.
char* UTF8next(char* p);
const char* UTF8next(const char* p);
int UTF8Len(const char* p);
int UTF8FirstChar(const char* p, int& len);
bool UTF8Valide(const char* s, long len);

// UTF-16 and wide helpers.
long utf16len(const UTF16CHAR* s);
long utf16nlen(const UTF16CHAR* s, long max);
UTF16CHAR* utf16ncpy(UTF16CHAR* dst, const UTF16CHAR* src, long n);
int utf16nicmp(const UTF16CHAR* a, const UTF16CHAR* b, long n);
const UTF16CHAR* utf16niutf16(const UTF16CHAR* s, const UTF16CHAR* t, long n);
int UTF16ToWideChar(const UTF16CHAR* src, int srcLen, wchar_t* dst, int dstCount);
int WideCharToUTF16(const wchar_t* src, int srcLen, UTF16CHAR* dst, int dstCount);
int UTF16ToMultiByte(unsigned int codePage, const UTF16CHAR* src, int srcLen, char* dst, int dstSize);
int MultiByteToUTF16(unsigned int codePage, const char* src, int srcLen, UTF16CHAR* dst, int dstCount);
int MultiByteToUTF16_CurrentCharset(const char* src, int srcLen, UTF16CHAR* dst, int dstCount);
wchar_t* pszXSTR2WSTR(const char* psz, long len);
char* pszWSTR2XSTR(const wchar_t* pwsz, long len, int codePage);
char* pszCSTR2XSTR(const char* psz);
char* pszXSTR2CSTR(const char* psz);
double wtof(const wchar_t* pwsz);

// Compares "major.rest" versions: major numerically, then the rest with strcmp.
int nCompareVersionModule(const char* a, const char* b);

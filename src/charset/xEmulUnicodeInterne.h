// iconv plumbing shared by the conversion units of xEmulUnicode.
#pragma once

#include <cstddef>
#include <iconv.h>

// "UCS4LE", or "UTF32LE" when the library does not know the first name.
const char* pszNomIconvLarge();
// A descriptor from the calling thread's cache, its state reset; (iconv_t)-1 on failure.
iconv_t cdOuvreIconv(const char* vers, const char* de);
// One conversion into out; bytes produced, or -1 with the errno value in *pErr.
long nIconvUnePasse(const char* vers, const char* de, const char* in, size_t inlen, char* out,
                    size_t outsize, int* pErr);
// Bytes the conversion produces, measured through a scratch area of nScratch
// bytes (at most 32); -1 on failure.
long nIconvMesure(const char* vers, const char* de, const char* in, size_t inlen, size_t nScratch);

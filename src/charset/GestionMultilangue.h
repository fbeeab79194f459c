// Windows character sets: their code pages and language identifiers, the
// character set of a language, and the process locale for the character sets
// that need one.
#pragma once

#include <cstdint>

// 0 for an unknown character set.
unsigned int dwGetCodePageFromCharset(int nCharset);
unsigned short wGetLanguageID(int nCharset);
// Primary language: the low 10 bits; sublanguage: the high 6 bits.
unsigned char nGetCharsetFromLanguage(unsigned short wLanguageId);
unsigned int GetCharSetFromLanguageID(unsigned int nLanguageId);

// Base locale name ("russian_russia", "" for Hebrew and Arabic) of the
// character sets that switch the locale; null for the others.
const char *pszGetLocaleName(int nCharset);
// Unknown character set: 0. Character set with a locale: the result of
// setlocale(LC_ALL, "<name>.<code page>") as a pointer value. Others: the code
// page, the locale untouched.
intptr_t ChangeLocale(int nCharset);

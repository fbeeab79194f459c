// Runtime library helpers the platform's libc lacks: integer to text in any
// radix, bounded printf variants, hexadecimal reading, case mapping of a whole
// text, wide fills and locale shortcuts.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cwchar>

// Integer to text. Each writes into buf (65 characters cover any 64-bit value
// in radix 2 with its sign) and returns buf. Radixes outside 2..36 write "".
char* itoa(int value, char* buf, int radix);
char* ltoa(long value, char* buf, int radix);
char* ultoa(unsigned long value, char* buf, int radix);
char* i64toa(long long value, char* buf, int radix);
char* ui64toa(unsigned long long value, char* buf, int radix);
wchar_t* itow(int value, wchar_t* buf, int radix);
wchar_t* ltow(long value, wchar_t* buf, int radix);
wchar_t* ultow(unsigned long value, wchar_t* buf, int radix);
wchar_t* i64tow(long long value, wchar_t* buf, int radix);
wchar_t* ui64tow(unsigned long long value, wchar_t* buf, int radix);

// Bounded printf: buf holds max + 1 bytes; the text is cut to max characters
// and always terminated. Returns the length, or -1 when it was cut.
int sznprintf(char* buf, unsigned int max, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
int vsznprintf(char* buf, unsigned int max, const char* format, va_list args);
// Wide formatting is not available here: both empty buf and return -1.
int sznwprintf(wchar_t* buf, unsigned int max, const wchar_t* format, ...);
int vsznwprintf(wchar_t* buf, unsigned int max, const wchar_t* format, va_list args);

// Value of the leading hexadecimal digits of s; count receives how many were read.
int64_t nGetEntierHexa(const char* s, int& count);

char* my_strupr(char* s);
char* my_strlwr(char* s);
wchar_t* wcsset(wchar_t* s, wchar_t c);
wchar_t* wcsnset(wchar_t* s, wchar_t c, unsigned int n);

// Locale shortcuts over setlocale.
char* pszSetLocale(int category, const char* name);
char* pszSetSystemLocale(int category);
void UnsetLocale(int category, const char* unused);
char* pszGetLocale(int category);

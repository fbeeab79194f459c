// Integer to text in any radix, bounded printf, hexadecimal reading, whole-text
// case mapping, wide fills and locale shortcuts.
#include "charset/xEmulCRT.h"

#include <cctype>
#include <clocale>
#include <cstdio>

namespace {

// Digits of v in radix, most significant first, into buf (at most 64 digits
// and a terminator). A radix outside 2..36 writes "" so nothing can run past
// the scratch area or the caller's buffer.
template <typename C>
C* NonSigne(unsigned long long v, C* buf, int radix) {
    if (radix < 2 || radix > 36) {
        buf[0] = 0;
        return buf;
    }
    char tmp[64];
    int n = 0;
    do {
        unsigned d = static_cast<unsigned>(v % static_cast<unsigned>(radix));
        tmp[n++] = static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10);
        v /= static_cast<unsigned>(radix);
    } while (v);
    for (int i = 0; i < n; ++i) buf[i] = static_cast<C>(tmp[n - 1 - i]);
    buf[n] = 0;
    return buf;
}

template <typename C>
C* Signe(long long v, C* buf, int radix) {
    if (radix < 2 || radix > 36) {
        buf[0] = 0;
        return buf;
    }
    if (v < 0) {
        buf[0] = '-';
        // Magnitude in unsigned arithmetic so that the most negative value prints.
        NonSigne(0ULL - static_cast<unsigned long long>(v), buf + 1, radix);
        return buf;
    }
    return NonSigne(static_cast<unsigned long long>(v), buf, radix);
}

}  // namespace

char* itoa(int value, char* buf, int radix) { return ltoa(value, buf, radix); }
char* ltoa(long value, char* buf, int radix) {
    return Signe(value, buf, radix);
}
char* ultoa(unsigned long value, char* buf, int radix) {
    return NonSigne(value, buf, radix);
}
char* i64toa(long long value, char* buf, int radix) { return Signe(value, buf, radix); }
char* ui64toa(unsigned long long value, char* buf, int radix) { return NonSigne(value, buf, radix); }

wchar_t* itow(int value, wchar_t* buf, int radix) { return ltow(value, buf, radix); }
wchar_t* ltow(long value, wchar_t* buf, int radix) {
    return Signe(value, buf, radix);
}
wchar_t* ultow(unsigned long value, wchar_t* buf, int radix) {
    return NonSigne(value, buf, radix);
}
wchar_t* i64tow(long long value, wchar_t* buf, int radix) { return Signe(value, buf, radix); }
wchar_t* ui64tow(unsigned long long value, wchar_t* buf, int radix) {
    return NonSigne(value, buf, radix);
}

int vsznprintf(char* buf, unsigned int max, const char* format, va_list args) {
    if (!buf) return -1;
    int n = vsnprintf(buf, static_cast<size_t>(max) + 1, format ? format : "", args);
    buf[max] = 0;
    if (n < 0 || static_cast<unsigned>(n) > max) return -1;
    return n;
}

int sznprintf(char* buf, unsigned int max, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = vsznprintf(buf, max, format, args);
    va_end(args);
    return n;
}

int vsznwprintf(wchar_t* buf, unsigned int max, const wchar_t*, va_list) {
    if (buf) {
        buf[0] = 0;
        buf[max] = 0;
    }
    return -1;
}

int sznwprintf(wchar_t* buf, unsigned int max, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int n = vsznwprintf(buf, max, format, args);
    va_end(args);
    return n;
}

int64_t nGetEntierHexa(const char* s, int& count) {
    count = 0;
    uint64_t v = 0;
    if (!s) return 0;
    for (; isxdigit(static_cast<unsigned char>(*s)); ++s) {
        unsigned char c = static_cast<unsigned char>(*s);
        unsigned d = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
        v = v * 16 + d;
        ++count;
    }
    return static_cast<int64_t>(v);
}

char* my_strupr(char* s) {
    if (s)
        for (char* p = s; *p; ++p) *p = static_cast<char>(toupper(static_cast<unsigned char>(*p)));
    return s;
}

char* my_strlwr(char* s) {
    if (s)
        for (char* p = s; *p; ++p) *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
    return s;
}

wchar_t* wcsset(wchar_t* s, wchar_t c) {
    if (s)
        for (wchar_t* p = s; *p; ++p) *p = c;
    return s;
}

wchar_t* wcsnset(wchar_t* s, wchar_t c, unsigned int n) {
    if (s)
        for (unsigned int i = 0; i < n; ++i) s[i] = c;
    return s;
}

char* pszSetLocale(int category, const char* name) { return setlocale(category, name); }
char* pszSetSystemLocale(int category) { return setlocale(category, ""); }
void UnsetLocale(int category, const char*) { setlocale(category, "C"); }
char* pszGetLocale(int category) { return setlocale(category, nullptr); }

// CTString conversions between the ANSI code pages, wide and UTF-8 text.
#include <cstdlib>
#include <cstring>
#include <new>

#include "charset/xEmulUnicode.h"
#include "strings/STR.h"
#include "strings/Tstring.h"

void CTString::SetWide(const wchar_t* pwsz, unsigned codepage) {
    if (!pwsz) { Vide(); return; }
    int c = WideCharToMultiByte(codepage, 0, pwsz, -1, nullptr, 0, nullptr, nullptr);
    // Text the code page cannot carry converts to nothing: leave an empty string.
    if (c <= 0) { Vide(); return; }
    _SetBufferSize(c - 1);
    if (WideCharToMultiByte(codepage, 0, pwsz, -1, _psz, c, nullptr, nullptr) != c) _psz[0] = 0;
    _psz[c - 1] = 0;
}

void CTString::SetUNICODE(const wchar_t* pwsz) { SetWide(pwsz, 1252); }

// Texts are kept in the program's own 8-bit set: nothing to convert.
void CTString::SetANSI(const char* psz, unsigned) { Set(psz); }

void CTString::SetUTF8(const char* pszUtf8, unsigned codepage) {
    if (!pszUtf8) { Vide(); return; }
    size_t l = strlen(pszUtf8);
    CTString source;
    if (_psz && pszUtf8 >= _psz && pszUtf8 <= _psz + strlen(_psz)) {
        source.Set(pszUtf8);
        pszUtf8 = source._psz;
    }
    _SetBufferSize(static_cast<long>(l));
    // A failed conversion may stop anywhere: never leave the block unterminated.
    if (!UTF8ToMultiByte(codepage, pszUtf8, l + 1, _psz, l + 1, 0, nullptr, nullptr)) _psz[0] = 0;
    _psz[l] = 0;
}

void CTString::SetXUTF8(const char* psz, unsigned mapflags) {
    if (!psz) { Vide(); return; }
    size_t len = strlen(psz);
    CTString copie;
    if (mapflags) {
        copie._SetBufferSize(static_cast<long>(len));
        STR_nMapStringEx(mapflags, copie._psz, static_cast<int>(len) + 1, psz, -1, 1);
        psz = copie._psz;
    }
    wchar_t* w = static_cast<wchar_t*>(malloc((len + 1) * sizeof(wchar_t)));
    if (!w) throw std::bad_alloc();
    int nw = MultiByteToWideChar(0, 0, psz, -1, w, static_cast<int>(len) + 1);
    int b = nw > 0 ? WideCharToMultiByte(65001, 0, w, -1, nullptr, 0, nullptr, nullptr) : 0;
    if (b <= 0) {
        free(w);
        Vide();
        return;
    }
    if (!_psz || static_cast<long>(strlen(_psz)) != b - 1) _SetBufferSize(b - 1);
    if (WideCharToMultiByte(65001, 0, w, -1, _psz, b, nullptr, nullptr) != b) _psz[0] = 0;
    _psz[b - 1] = 0;
    free(w);
}

int CTString::bGetWide(wchar_t* out, int* count) const {
    if (!count) return 0;
    int m = MultiByteToWideChar(1252, 0, pszGet(), -1, nullptr, 0);
    if (!out || *count < m) {
        *count = m;
        return 0;
    }
    int n = MultiByteToWideChar(1252, 0, pszGet(), -1, out, *count);
    *count = n;
    return n != 0;
}

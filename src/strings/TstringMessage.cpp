// CTString formatting through the two message formatters.
#include <cstdlib>

#include "error/accesdllres.h"
#include "platform/WinApi.h"
#include "strings/Tstring.h"

namespace {
const DWORD FORMAT_ALLOUE_DEPUIS_TEXTE = 0x500;  // allocate the result, format from the given text

typedef DWORD (*PFNFORMATEUR)(DWORD, const void*, DWORD, DWORD, LPSTR, DWORD, va_list*);

// Formats with one of the two formatters into an allocated text, then takes it.
DWORD FormateDans(CTString* s, PFNFORMATEUR pfn, const char* fmt, va_list* args) {
    char* psz = nullptr;
    DWORD n = pfn(FORMAT_ALLOUE_DEPUIS_TEXTE, fmt, 0, 0, reinterpret_cast<LPSTR>(&psz), 0, args);
    if (n && psz) s->Set(psz);
    free(psz);
    return n;
}
}  // namespace

uint32_t CTString::FormatMessageWin(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    DWORD n = FormateDans(this, ::FormatMessageWin, fmt, &args);
    va_end(args);
    return n;
}

uint32_t CTString::FormatMessageA(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    DWORD n = FormateDans(this, ::FormatMessageA, fmt, &args);
    va_end(args);
    return n;
}

CTStringFormatMessage::CTStringFormatMessage(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    try {
        DLLRES_dwFormatMessage(fmt, this, reinterpret_cast<char**>(&args));
    } catch (...) {
        va_end(args);
        Vide();
        throw;
    }
    va_end(args);
}

// CTString formatting through the two message formatters.
#include <cstdlib>

#include "error/accesdllres.h"
#include "platform/WinApi.h"
#include "strings/Tstring.h"

namespace {
const DWORD FORMAT_ALLOUE_DEPUIS_TEXTE = 0x500;  // allocate the result, format from the given text
}

uint32_t CTString::FormatMessageWin(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    char* psz = nullptr;
    DWORD n = ::FormatMessageWin(FORMAT_ALLOUE_DEPUIS_TEXTE, fmt, 0, 0, reinterpret_cast<LPSTR>(&psz), 0, &args);
    va_end(args);
    if (n && psz) Set(psz);
    free(psz);
    return n;
}

uint32_t CTString::FormatMessageA(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    char* psz = nullptr;
    DWORD n = ::FormatMessageA(FORMAT_ALLOUE_DEPUIS_TEXTE, fmt, 0, 0, reinterpret_cast<LPSTR>(&psz), 0, &args);
    va_end(args);
    if (n && psz) Set(psz);
    free(psz);
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

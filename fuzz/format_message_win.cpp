// FormatMessageWin on arbitrary sources, with an argument array or without arguments,
// into a buffer of arbitrary size or an allocated block.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/WinApi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    if (nSize < 2)
        return 0;
    uint8_t nChoice = pData[0];
    DWORD nBuffer = pData[1];
    std::string clSource(reinterpret_cast<const char *>(pData + 2), nSize - 2);

    // Every slot is valid both as narrow and as wide text and as a number.
    static const wchar_t szWide[] = L"arg";
    static uintptr_t aSlots[99];
    for (uintptr_t &n : aSlots)
        n = reinterpret_cast<uintptr_t>(szWide);

    DWORD dwFlags = FORMAT_MESSAGE_FROM_STRING;
    va_list *pArgs = nullptr;
    if ((nChoice & 1) != 0) {
        dwFlags |= FORMAT_MESSAGE_ARGUMENT_ARRAY;
        pArgs = reinterpret_cast<va_list *>(aSlots);
    }
    if ((nChoice & 2) != 0)
        dwFlags |= FORMAT_MESSAGE_IGNORE_INSERTS;

    if ((nChoice & 4) != 0) {
        char *pszBlock = nullptr;
        DWORD n = FormatMessageWin(dwFlags | FORMAT_MESSAGE_ALLOCATE_BUFFER, clSource.c_str(), 0, 0,
                                   reinterpret_cast<char *>(&pszBlock), nBuffer, pArgs);
        if (pszBlock == nullptr || strlen(pszBlock) != n)
            abort();
        free(pszBlock);
        return 0;
    }
    char *pszOut = static_cast<char *>(malloc(nBuffer != 0 ? nBuffer : 1));
    DWORD n = FormatMessageWin(dwFlags, clSource.c_str(), 0, 0, pszOut, nBuffer, pArgs);
    if (nBuffer != 0 && (n >= nBuffer || strlen(pszOut) != n))
        abort();
    free(pszOut);
    return 0;
}

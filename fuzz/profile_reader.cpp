// The profile engine on arbitrary file contents with arbitrary section, key and buffer
// size, then a write on the same contents.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/WinApi.h"
#include "FuzzScratch.h"

namespace {

// The scratch file of this run, removed at exit.
struct CScratch {
    std::string clPath = FuzzScratchDir() + "/fuzz_profile_reader_" + std::to_string(getpid()) + ".ini";
    ~CScratch() { unlink(clPath.c_str()); }
};

// Takes the text up to the next NUL (or the end) from the input.
std::string Take(const uint8_t *&p, const uint8_t *pEnd)
{
    const uint8_t *pStart = p;
    while (p < pEnd && *p != 0)
        p++;
    std::string cl(reinterpret_cast<const char *>(pStart), p - pStart);
    if (p < pEnd)
        p++;
    return cl;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize)
{
    if (nSize < 3)
        return 0;
    static const CScratch clScratch;
    const std::string &clPath = clScratch.clPath;
    const uint8_t *p = pData;
    const uint8_t *pEnd = pData + nSize;
    uint8_t nChoice = *p++;
    DWORD nBuffer = *p++;
    std::string clSection = Take(p, pEnd);
    std::string clKey = Take(p, pEnd);
    std::string clContent(reinterpret_cast<const char *>(p), pEnd - p);

    FILE *pFile = fopen(clPath.c_str(), "wb");
    if (pFile == nullptr)
        return 0;
    fwrite(clContent.data(), 1, clContent.size(), pFile);
    fclose(pFile);

    const char *pszSection = (nChoice & 1) != 0 ? nullptr : clSection.c_str();
    const char *pszKey = (nChoice & 2) != 0 ? nullptr : clKey.c_str();
    const char *pszDefault = (nChoice & 4) != 0 ? nullptr : "default value";
    // Exactly the size announced, so that any overrun is caught.
    char *pszOut = static_cast<char *>(malloc(nBuffer != 0 ? nBuffer : 1));
    DWORD n = GetPrivateProfileString(pszSection, pszKey, pszDefault, nBuffer != 0 ? pszOut : nullptr, nBuffer,
                                      clPath.c_str());
    if (nBuffer != 0 && (n >= nBuffer || strlen(pszOut) != n))
        abort();
    free(pszOut);
    GetPrivateProfileInt(pszSection, pszKey, -5, clPath.c_str());

    if ((nChoice & 8) != 0) {
        const char *pszValue = (nChoice & 16) != 0 ? nullptr : "written";
        if (pszSection != nullptr)
            WritePrivateProfileString(pszSection, pszKey, pszValue, clPath.c_str());
        char szBack[8];
        GetPrivateProfileString(pszSection, pszKey, nullptr, szBack, sizeof szBack, clPath.c_str());
    }
    return 0;
}

// STR_Ellipsis with arbitrary widths and positions: the result fits max + 1
// bytes and has exactly max characters when the source is longer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "strings/STR.h"

namespace {
void Verifie(bool b)
{
    if (!b)
        abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nData)
{
    if (nData < 3)
        return 0;
    int nMax = static_cast<int16_t>(pData[0] | (pData[1] << 8)) % 600;
    const int nPos = pData[2] % 5;
    const std::string sSrc(reinterpret_cast<const char *>(pData + 3), nData - 3);
    const char *pszSrc = sSrc.c_str(); // may hold NULs: the text ends at the first
    const size_t nLen = strlen(pszSrc);
    const size_t nDst = nMax > 0 ? static_cast<size_t>(nMax) + 1 : 1;
    char *pDst = static_cast<char *>(malloc(nDst));
    memset(pDst, 0x5A, nDst);
    const char *psz = STR_Ellipsis(pDst, pszSrc, nMax, static_cast<eELLIPSISPOSITION>(nPos));
    if (nMax <= 2 || nPos > 2) {
        if (nMax <= 2 || nLen > static_cast<size_t>(nMax))
            Verifie(psz == pszSrc);
    } else if (nLen <= static_cast<size_t>(nMax)) {
        Verifie(psz == pDst && strcmp(pDst, pszSrc) == 0);
    } else {
        Verifie(psz == pDst && strlen(pDst) == static_cast<size_t>(nMax) && strstr(pDst, "...") != nullptr);
    }
    free(pDst);
    return 0;
}

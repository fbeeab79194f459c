// STR_nMapStringEx and its relatives with arbitrary flags, sizes and lengths:
// never a byte outside the buffers, always a terminated result that agrees
// with the measured length.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "strings/STR.h"

namespace {
template <typename T> T Lit(const uint8_t *&p, size_t &n)
{
    T v{};
    const size_t k = n < sizeof(T) ? n : sizeof(T);
    memcpy(&v, p, k);
    p += k;
    n -= k;
    return v;
}
void Verifie(bool b)
{
    if (!b)
        abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nData)
{
    const uint32_t nFlags = Lit<uint32_t>(pData, nData);
    const int nSize = Lit<uint16_t>(pData, nData) % 300;
    const int nLen = static_cast<int>(Lit<int16_t>(pData, nData)) % 400;
    const int bUpper = Lit<uint8_t>(pData, nData) & 1;
    // A source limited by its length gets no terminator: the length alone must
    // keep the reads inside it.
    const bool bTermine = nLen < 0 || static_cast<size_t>(nLen) > nData;
    std::vector<char> vSrc(pData, pData + nData);
    if (bTermine)
        vSrc.push_back(0);
    char *pSrc = static_cast<char *>(malloc(vSrc.size() + 1));
    if (!vSrc.empty())
        memcpy(pSrc, vSrc.data(), vSrc.size());
    char *pDst = static_cast<char *>(malloc(static_cast<size_t>(nSize) + 1));

    const int n = STR_nMapStringEx(nFlags, pDst, nSize, pSrc, nLen, bUpper);
    if (nSize > 0) {
        Verifie(n >= 0 && n < nSize && pDst[n] == 0);
        Verifie(strlen(pDst) <= static_cast<size_t>(n));
        if (bTermine || nLen >= 0) {
            const int nMesure = STR_nGetMapStringLenEx(nFlags, pSrc, nLen);
            Verifie(nMesure >= 1 && n <= nMesure - 1);
            if (nMesure <= nSize)
                Verifie(n == nMesure - 1);
        }
    } else {
        Verifie(n == 0);
    }
    STR_nTransforme(nFlags, pDst, nSize, pSrc, nLen);
    STR_MapStringSortEx(pDst, nSize, pSrc, nLen, bUpper);
    char c = 0;
    if (nData > 0)
        STR_nMapCharEx(nFlags, &c, static_cast<char>(pData[0]), bUpper);
    STR_CompareStringEx(nFlags & 0xF, pSrc, nLen, pSrc + (vSrc.size() > 1 ? 1 : 0), nLen > 0 ? nLen - 1 : nLen);
    if (bTermine) {
        char *pMap = nullptr;
        const int nMap = STR_nCreateMapString(nFlags, &pMap, pSrc);
        Verifie(pMap != nullptr && static_cast<int>(strlen(pMap)) <= nMap);
        free(pMap);
        // In place, as the fixed string maps itself.
        const int nPlace = STR_nMapStringEx(nFlags, pSrc, static_cast<int>(vSrc.size()), pSrc, nLen, bUpper);
        if (nLen == -1)
            Verifie(nPlace == nMap);
    }
    free(pSrc);
    free(pDst);
    return 0;
}

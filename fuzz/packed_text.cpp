// The packed-text decoder on arbitrary input and capacities, and the packer's
// round trip on the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../tools/resbloc/Packer.h"
#include "compression/DataCompressor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    // First two bytes: the capacity, from -16 to 65519.
    int nCapacite = static_cast<int>((data[0] << 8) | data[1]) - 16;
    data += 2;
    size -= 2;

    // Exact-size copies so that any read or write outside them is caught.
    char* pszPacke = static_cast<char*>(malloc(size + 1));
    memcpy(pszPacke, data, size);
    pszPacke[size] = '\0';
    char* pszSortie = nCapacite > 0 ? static_cast<char*>(malloc(static_cast<size_t>(nCapacite))) : nullptr;
    int n = nCapacite;
    int nRet = CDataCompressor::s_nDeCompress(pszSortie, &n, pszPacke);
    if (nRet != 0 && nRet != 2)
        abort();
    if (n < 0 || (nRet == 0 && n >= nCapacite) || (nRet == 2 && n + 1 <= nCapacite && nCapacite > 0))
        abort();
    if (nRet == 0 && strlen(pszSortie) > static_cast<size_t>(n))
        abort();
    free(pszSortie);
    char* psz = CDataCompressor::s_pszDeCompress(pszPacke);
    if (psz == nullptr || static_cast<int>(strlen(psz)) > n)
        abort();
    free(psz);
    free(pszPacke);

    // Round trip: any text without zero bytes comes back unchanged.
    std::string texte(reinterpret_cast<const char*>(data), size);
    texte.erase(std::remove(texte.begin(), texte.end(), '\0'), texte.end());
    std::string packe;
    if (!CPackeurTexte::s_bPack(texte, packe) || packe.find('\0') != std::string::npos)
        abort();
    psz = CDataCompressor::s_pszDeCompress(packe.c_str());
    if (psz == nullptr || texte != psz)
        abort();
    free(psz);
    return 0;
}

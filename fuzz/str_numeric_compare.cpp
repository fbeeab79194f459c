// STR_nCompareRespecteNumerique (and the language comparison built on it)
// on arbitrary texts: bounded by the given lengths, antisymmetric, reflexive.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "strings/STR.h"

namespace {
int Signe(int n) { return n < 0 ? -1 : (n > 0 ? 1 : 0); }
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
    const unsigned nFlags = (pData[0] & 1) ? 0x20000000u : 0u;
    const int nOptions = pData[1];
    size_t nCoupe = pData[2];
    pData += 3;
    nData -= 3;
    if (nCoupe > nData)
        nCoupe = nData;
    // Exact-size copies without terminators.
    const int na = static_cast<int>(nCoupe), nb = static_cast<int>(nData - nCoupe);
    char *a = static_cast<char *>(malloc(nCoupe + 1));
    char *b = static_cast<char *>(malloc(nData - nCoupe + 1));
    memcpy(a, pData, nCoupe);
    memcpy(b, pData + nCoupe, nData - nCoupe);

    const int ab = STR_nCompareRespecteNumerique(a, na, b, nb, nFlags);
    const int ba = STR_nCompareRespecteNumerique(b, nb, a, na, nFlags);
    Verifie(Signe(ab) == -Signe(ba));
    Verifie(STR_nCompareRespecteNumerique(a, na, a, na, nFlags) == 0);
    Verifie(Signe(STR_ChaineCompare(a, na, b, nb, nOptions)) == -Signe(STR_ChaineCompare(b, nb, a, na, nOptions)));
    Verifie(STR_ChaineCompare(a, na, a, na, nOptions) == 0);

    // The wide form on the same bytes widened.
    wchar_t *wa = static_cast<wchar_t *>(malloc(sizeof(wchar_t) * (nCoupe + 1)));
    wchar_t *wb = static_cast<wchar_t *>(malloc(sizeof(wchar_t) * (nData - nCoupe + 1)));
    for (int i = 0; i < na; ++i)
        wa[i] = static_cast<unsigned char>(a[i]);
    for (int i = 0; i < nb; ++i)
        wb[i] = static_cast<unsigned char>(b[i]);
    STR_nCompareRespecteNumeriqueW(wa, na, wb, nb, nFlags);
    Verifie(STR_nCompareRespecteNumeriqueW(wa, na, wa, na, nFlags) == 0);
    Verifie(Signe(STR_nCompareStringLexicoW(wa, na, wb, nb, 0)) == -Signe(STR_nCompareStringLexicoW(wb, nb, wa, na, 0)));
    free(wa);
    free(wb);
    free(a);
    free(b);
    return 0;
}

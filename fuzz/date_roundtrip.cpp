// Date parsing and layout. Arbitrary text and format never read or write out
// of bounds; a format built from date letters and separators lays a valid
// date out and parses it back unchanged.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "containers/CDatHeur.h"

namespace {

void Verifie(bool b)
{
    if (!b)
        abort();
}

void Libre(const uint8_t *pData, size_t nData)
{
    // Text and format split at the first NUL byte.
    const std::string s(reinterpret_cast<const char *>(pData), nData);
    const size_t nSep = s.find('\0');
    const std::string sTexte = s.substr(0, nSep);
    const std::string sFormat = nSep == std::string::npos ? std::string("JJ/MM/AAAA") : s.substr(nSep + 1);
    const char *pszFormat = sFormat.c_str();
    char szDate[9];
    if (bChaineVersDate(sTexte.c_str(), pszFormat, szDate))
        Verifie(strlen(szDate) == 8);
    else
        Verifie(szDate[0] == 0);
    const size_t nSortie = strlen(pszFormat) + 1;
    char *pszSortie = static_cast<char *>(malloc(nSortie));
    const bool bLong = strnlen(sTexte.c_str(), 8) == 8;
    Verifie(bDateVersChaine(sTexte.c_str(), pszFormat, pszSortie) == bLong);
    Verifie(strlen(pszSortie) == (bLong ? nSortie - 1 : 0));
    free(pszSortie);
}

void AllerRetour(const uint8_t *pData, size_t nData)
{
    if (nData < 4)
        return;
    const int y = 1 + (pData[0] | (pData[1] << 8)) % 9999;
    const int m = 1 + pData[2] % 12;
    const int d = 1 + pData[3] % 28;
    char szDate[16];
    snprintf(szDate, sizeof szDate, "%04d%02d%02d", y, m, d);
    static const char *const tabJetons[] = {"AAAA", "yyyy", "YYYY", "MM", "mm", "JJ", "dd", "DD", "AA", "yy"};
    static const char tabSeparateurs[] = "/-. :,_";
    std::string sFormat;
    bool bAnnee = false, bMois = false, bJour = false, bSur = true;
    int nPrecedent = -1; // last token, to know what follows a two-digit year
    for (size_t i = 4; i < nData && sFormat.size() < 40; ++i) {
        const uint8_t c = pData[i];
        if (c % 2) {
            const int nJeton = (c >> 1) % 10;
            // A two-digit year is read as a number up to the next non-digit
            // unless a month follows: only then is a digit field allowed next.
            if ((nPrecedent == 8 || nPrecedent == 9) && nJeton != 3 && nJeton != 4)
                bSur = false;
            // Adjacent letters would make other tokens ("AAA"+"A...").
            if (nPrecedent >= 0 && (nPrecedent <= 2 || nPrecedent >= 8) && (nJeton <= 2 || nJeton >= 8))
                bSur = false;
            sFormat += tabJetons[nJeton];
            bAnnee |= nJeton <= 2 || nJeton >= 8;
            bMois |= nJeton == 3 || nJeton == 4;
            bJour |= nJeton >= 5 && nJeton <= 7;
            if (nJeton >= 8 && (y < 1951 || y > 2050))
                bSur = false;
            nPrecedent = nJeton;
        } else {
            sFormat += tabSeparateurs[(c >> 1) % (sizeof tabSeparateurs - 1)];
            nPrecedent = -1;
        }
    }
    char szSortie[64];
    Verifie(bDateVersChaine(szDate, sFormat.c_str(), szSortie));
    Verifie(strlen(szSortie) == sFormat.size());
    char szRetour[9];
    const bool b = bChaineVersDate(szSortie, sFormat.c_str(), szRetour);
    if (bAnnee && bMois && bJour && bSur) {
        Verifie(b);
        Verifie(strcmp(szRetour, szDate) == 0);
    }
    if (!bAnnee || !bMois || !bJour)
        Verifie(!b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nData)
{
    if (nData == 0)
        return 0;
    if (pData[0] & 1)
        AllerRetour(pData + 1, nData - 1);
    else
        Libre(pData + 1, nData - 1);
    return 0;
}

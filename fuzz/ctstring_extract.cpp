// CTString fields by separator character and text, tokens, and field
// replacement on arbitrary texts; results must lie inside the text and agree
// with a count of the separators.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "strings/Tstring.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    char sep = static_cast<char>(data[0]);
    long k = data[1] % 64;
    size_t lsep = data[2] % 4;
    if (lsep > size - 3) lsep = size - 3;
    std::string sepTexte(reinterpret_cast<const char*>(data + 3), lsep);
    sepTexte = sepTexte.c_str();  // up to its first zero byte
    std::string texte(reinterpret_cast<const char*>(data + 3 + lsep), size - 3 - lsep);
    CTString s(texte.c_str());
    const char* debut = s.pszGet();
    long taille = s.nTaille();

    // Character separator: field k exists exactly when k separators do.
    long nSep = 0;
    if (sep)
        for (long i = 0; i < taille; ++i) nSep += debut[i] == sep;
    const char* start = nullptr;
    long len = -1;
    int b = s.bExtraitChainePos(static_cast<unsigned long>(k), sep, &start, &len);
    if (b != (taille > 0 && k <= nSep)) abort();
    if (b && (start < debut || len < 0 || start + len > debut + taille)) abort();
    if (b && sep && memchr(start, sep, static_cast<size_t>(len))) abort();
    CTString champ;
    if (s.bExtraitChaine(static_cast<unsigned long>(k), sep, &champ) != b) abort();
    if (b && champ.nTaille() != len) abort();

    // Separator text.
    b = s.bExtraitChainePos(k, sepTexte.c_str(), &start, &len);
    if (b && (start < debut || len < 0 || start + len > debut + taille)) abort();
    int pos = -1;
    long len2 = -1;
    if (s.bExtraitPosTailleChaine(k, sepTexte.c_str(), &pos, &len2) != b) abort();
    if (b && (debut + pos != start || len2 != len)) abort();

    // Tokens are never empty and never hold a delimiter.
    CTString jeton;
    if (s.bExtraitChaineTok(k, sepTexte.c_str(), &jeton)) {
        if (jeton.bEstVide() && !sepTexte.empty()) abort();
        if (!sepTexte.empty() && jeton.nPosParmi(sepTexte.c_str()) != -1) abort();
    }

    // Replacing field k by a marker changes only that field.
    CTString r(s);
    if (r.bExtraitEtRemplaceChaine(k, sepTexte.c_str(), "<>") != b) abort();
    if (b) {
        long attendu = taille - len + 2;
        if (r.nTaille() != attendu) abort();
        if (memcmp(r.pszGet(), debut, static_cast<size_t>(start - debut)) != 0) abort();
    }

    // The set-around-a-character helpers return pointers inside the source.
    CTString t;
    const char* p = t.pszSetFinDernier(texte.c_str(), sep);
    if (p && (p < texte.c_str() || p > texte.c_str() + strlen(texte.c_str()))) abort();
    p = t.pszSetDebutPremierExistant(texte.c_str(), sep);
    if (!p || t.nTaille() > static_cast<long>(strlen(texte.c_str()))) abort();
    return 0;
}

// Search and replacement on texts with embedded zeros, against std::string:
// nPos, nPosFin, nNbOcc and Remplace look at every used byte.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "strings/qsdstr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    size_t lm = data[0] % 4 + 1, lv = data[1] % 6;
    if (size < 2 + lm + lv) return 0;
    const char* p = reinterpret_cast<const char*>(data) + 2;
    std::string motif(p, lm), vers(p + lm, lv), texte(p + lm + lv, size - 2 - lm - lv);
    // The plain-text forms stop the pattern at its first zero.
    motif = motif.substr(0, strnlen(motif.c_str(), motif.size()));
    vers = vers.substr(0, strnlen(vers.c_str(), vers.size()));
    CQSDSTR v(texte.data(), static_cast<unsigned>(texte.size())), m(motif.data(), static_cast<unsigned>(motif.size()));
    for (unsigned debut : {0u, 1u, 7u}) {
        long attendu = motif.empty() || debut >= texte.size() ? -1 : static_cast<long>(texte.find(motif, debut));
        if (attendu == static_cast<long>(std::string::npos)) attendu = -1;
        if (v.nPos(motif.c_str(), debut) != attendu || v.nPos(&m, debut) != attendu) abort();
        long fin = motif.empty() ? -1 : static_cast<long>(texte.rfind(motif, debut));
        if (fin == static_cast<long>(std::string::npos)) fin = -1;
        if (v.nPosFin(&m, debut) != fin) abort();
    }
    long k = 0;
    if (!motif.empty())
        for (size_t q = texte.find(motif); q != std::string::npos; q = texte.find(motif, q + motif.size())) ++k;
    if (v.nNbOcc(motif.c_str()) != k) abort();
    std::string r = texte;
    if (!motif.empty()) {
        r.clear();
        size_t i = 0;
        for (size_t q = texte.find(motif); q != std::string::npos; q = texte.find(motif, i)) {
            r += texte.substr(i, q - i) + vers;
            i = q + motif.size();
        }
        r += texte.substr(i);
    }
    CQSDSTR copie(v);
    v.Remplace(motif.c_str(), vers.c_str());
    std::string s = v.pGet() ? std::string(v.pszGet(), v.nGetLength()) : std::string();
    if (s != r) abort();
    if (copie.nGetLength() != texte.size() || memcmp(copie.pszGet(), texte.data(), texte.size()) != 0) abort();
    return 0;
}

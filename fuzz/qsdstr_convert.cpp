// Conversion round trips of dynamic strings with the end marker: 8-bit text
// to wide text and back, through UTF-8 and through UTF-16. Whatever converts
// must come back unchanged, the marker included; what does not must leave the
// value as it was.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "charset/xEmulUnicode.h"
#include "strings/qsdstr.h"

namespace {

std::string sOctets(const CQSValeurBase& v) {
    return v.pGet() ? std::string(reinterpret_cast<const char*>(v.pGet()), v.nGetLength()) : std::string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!size) return 0;
    static const unsigned cps[] = {1252, 1250, 1251, 65001};
    unsigned cp = cps[data[0] & 3];
    bool bMarqueur = data[0] & 4;
    std::string texte(reinterpret_cast<const char*>(data) + 1, size - 1);
    CQSDSTR a(texte.data(), static_cast<unsigned>(texte.size()));
    if (bMarqueur && a.pGet()) a.nSetMarqueurFin(1);

    CQSDSTR w("unchanged");
    int e = w.nAffecteToUNICODE(&a, cp);
    if (e != QSD_OK) {
        if (e != QSD_ERR_CONVERSION || sOctets(w) != "unchanged") abort();
        return 0;
    }
    bool bPorte = bMarqueur && !texte.empty() && static_cast<unsigned char>(texte.back()) == 0xFF && cp != 65001;
    if (bPorte != (w.bMarqueurFin() != 0)) abort();
    if (bPorte && static_cast<uint32_t>(w.pwszGet()[w.nGetLengthUNICODE() - 1]) != 0xFFFFFFFFu) abort();
    CQSDSTR b;
    if (b.nAffecteToANSI(&w, cp) != QSD_OK || sOctets(b) != texte) abort();
    if (bPorte != (b.bMarqueurFin() != 0)) abort();

    // In place: the value is its own source.
    CQSDSTR c(a);
    if (c.nAffecteToUNICODE(&c, cp) != QSD_OK || sOctets(c) != sOctets(w)) abort();
    if (sOctets(a) != texte) abort();

    // Through UTF-8 (the marker is not carried there).
    CQSDSTR u;
    if (cp != 65001 && u.nAffecteToUTF8(texte.data(), static_cast<long>(texte.size()), static_cast<int>(cp)) == QSD_OK) {
        CQSDSTR r;
        if (r.nAffecteToANSI(u.pszGet(), static_cast<long>(u.nGetLength()), cp) != QSD_OK || sOctets(r) != texte)
            abort();
    }

    // Through UTF-16, without the marker.
    if (!bPorte && w.pGet()) {
        size_t n = w.nGetLengthUNICODE();
        std::basic_string<UTF16CHAR> t(2 * n + 1, 0);
        int k = WideCharToUTF16(w.pwszGet(), static_cast<int>(n), &t[0], static_cast<int>(t.size()));
        CQSDSTR r;
        if (r.nAssignUNICODE_UTF16(t.data(), k) != QSD_OK || sOctets(r) != sOctets(w)) abort();
    }

    char* pc = w.pszCreateCSTR();
    wchar_t* pw = a.pszCreateWSTR();
    free(pc);
    free(pw);
    return 0;
}

// The printf forms of the dynamic strings against snprintf, on formats built
// from the input (flags, width, precision, one conversion per field, every
// argument of the type the conversion reads), with the caches on or off.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzLecteur.h"
#include "strings/qsdstr.h"

namespace {

const char* const gTextes[] = {"", "a", "texte", "caf\xE9", "0123456789012345678901234567890123456789"};

std::string Libc(const char* fmt, ...) {
    va_list a1, a2;
    va_start(a1, fmt);
    va_copy(a2, a1);
    int n = vsnprintf(nullptr, 0, fmt, a1);
    std::string s(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) vsnprintf(&s[0], s.size() + 1, fmt, a2);
    va_end(a1);
    va_end(a2);
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int nUnThread = 0;
    stLecteur in{data, size};
    GeneralParam(2006, (in.octet() & 1) ? &nUnThread : nullptr);
    {
        CQSDSTR v(gTextes[in.octet() % 5]);
        std::string modele = v.pGet() ? v.pszGet() : "";
        while (in.n) {
            std::string fmt = "<";
            uint8_t f = in.octet();
            if (f & 1) fmt += '-';
            if (f & 2) fmt += '+';
            if (f & 4) fmt += '0';
            if (f & 8) fmt += '#';
            if (f & 16) fmt += std::to_string(in.octet() % 40 * ((f & 32) ? 20 : 1));
            if (f & 64) fmt += "." + std::to_string(in.octet() % 30);
            uint8_t c = in.octet();
            bool bAjout = c & 0x80;
            std::string attendu;
            int r;
            switch (c % 6) {
                case 0: {
                    int x = static_cast<int>(in.octet() * 0x01010101u);
                    fmt += "d>";
                    attendu = Libc(fmt.c_str(), x);
                    r = bAjout ? v.nAddPrintf(fmt.c_str(), x) : v.nPrintf(fmt.c_str(), x);
                    break;
                }
                case 1: {
                    unsigned x = in.octet() * 0x01000193u;
                    fmt += "x>";
                    attendu = Libc(fmt.c_str(), x);
                    r = bAjout ? v.nAddPrintf(fmt.c_str(), x) : v.nPrintf(fmt.c_str(), x);
                    break;
                }
                case 2: {
                    double x = static_cast<int8_t>(in.octet()) * 1234.5678;
                    fmt += "fe"[in.octet() & 1];
                    fmt += '>';
                    attendu = Libc(fmt.c_str(), x);
                    r = bAjout ? v.nAddPrintf(fmt.c_str(), x) : v.nPrintf(fmt.c_str(), x);
                    break;
                }
                case 3: {
                    const char* s = gTextes[in.octet() % 5];
                    fmt += "s>";
                    attendu = Libc(fmt.c_str(), s);
                    r = bAjout ? v.nAddPrintf(fmt.c_str(), s) : v.nPrintf(fmt.c_str(), s);
                    break;
                }
                case 4: {
                    // The value's own text as the argument.
                    fmt = "<%s>";
                    attendu = Libc(fmt.c_str(), modele.c_str());
                    r = bAjout ? v.nAddPrintf(fmt.c_str(), v.pszGet()) : v.nPrintf(fmt.c_str(), v.pszGet());
                    break;
                }
                default: {
                    int x = in.octet();
                    fmt = "%c%%";
                    attendu = Libc(fmt.c_str(), x ? x : 'z');
                    r = bAjout ? v.nAddPrintf(fmt.c_str(), x ? x : 'z') : v.nPrintf(fmt.c_str(), x ? x : 'z');
                    break;
                }
            }
            if (r != QSD_OK) abort();
            modele = bAjout ? modele + attendu : attendu;
            std::string s = v.pGet() ? std::string(v.pszGet(), v.nGetLength()) : std::string();
            if (s != modele || (v.pGet() && v.pszGet()[v.nGetLength()] != 0)) abort();
            if (modele.size() > 16384) break; // past the largest size class; more only costs time
        }
    }
    CStrMemAlloc::s_pclCourant()->vSupprimeTout();
    GeneralParam(2006, nullptr);
    return 0;
}

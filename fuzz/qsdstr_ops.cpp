// Random operation sequences over four dynamic strings that share blocks,
// checked after every step against std::string models; the first byte turns
// the allocator's cache on or off (a cache hides a use after release from the
// sanitizer only when it is off).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzLecteur.h"
#include "strings/qsdstr.h"

namespace {

std::string Texte(stLecteur& in) {
    size_t l = in.octet() % 24;
    if (in.octet() & 1) l *= 60;  // past the size classes now and then
    std::string s;
    for (size_t i = 0; i < l; ++i) s.push_back(static_cast<char>(in.n ? in.p[i % in.n] : 'a' + i % 26));
    return s;
}

void Verifie(const CQSDSTR& v, const std::string& m) {
    std::string s = v.pGet() ? std::string(reinterpret_cast<const char*>(v.pGet()), v.nGetLength()) : std::string();
    if (s != m) abort();
    if (v.pGet()) {
        if (v.nGetLength() > v.nGetCapacite()) abort();
        const unsigned char* t = v.pGet() + v.nGetLength();
        if (t[0] || t[1] || t[2] || t[3]) abort();
    }
}

void Remplace(std::string& m, const std::string& de, const std::string& vers) {
    if (de.empty()) return;
    std::string r;
    size_t i = 0;
    for (size_t p = m.find(de); p != std::string::npos; p = m.find(de, i)) {
        r += m.substr(i, p - i) + vers;
        i = p + de.size();
    }
    m = r + m.substr(i);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int nUnThread = 0;
    stLecteur in{data, size};
    GeneralParam(2006, (in.octet() & 1) ? &nUnThread : nullptr);
    {
        CQSDSTR v[4];
        std::string m[4];
        for (int pas = 0; pas < 64 && in.n; ++pas) {
            // Values that double themselves step after step would only measure memory
            // (fresh pages for every large block): stop well past the largest size
            // class, which is all a sequence needs to reach every path.
            if (m[0].size() + m[1].size() + m[2].size() + m[3].size() > (1u << 16)) break;
            uint8_t op = in.octet();
            int i = op & 3, j = (op >> 2) & 3;
            switch ((op >> 4) % 14) {
                case 0: {
                    std::string t = Texte(in);
                    if (v[i].nAssign(t.data(), static_cast<unsigned>(t.size())) == QSD_OK) m[i] = t;
                    break;
                }
                case 1: {
                    std::string t = Texte(in);
                    if (v[i].nConcat(t.data(), static_cast<unsigned>(t.size())) == QSD_OK) m[i] += t;
                    break;
                }
                case 2: v[i] = v[j]; m[i] = m[j]; break;
                case 3: if (v[i].nConcat(&v[j]) == QSD_OK) m[i] += m[j]; break;
                case 4: {
                    unsigned l = in.octet();
                    v[i].Tronque(l);
                    if (l < m[i].size()) m[i].resize(l);
                    break;
                }
                case 5: {
                    unsigned l = in.octet() * 3u;
                    char c = static_cast<char>(in.octet());
                    if (v[i].nComplete(l, c) == QSD_OK) m[i].resize(l, c);
                    break;
                }
                case 6: {
                    unsigned d = in.octet() % 40;
                    long l = static_cast<int8_t>(in.octet());
                    if (v[j].nMilieu(&v[i], d, l) == QSD_OK) {
                        m[i] = d < m[j].size() && l ? m[j].substr(d, l < 0 ? std::string::npos : size_t(l)) : "";
                    }
                    break;
                }
                case 7: {
                    std::string de = Texte(in).substr(0, 3), vers = Texte(in).substr(0, 5);
                    if (de.find('\0') != std::string::npos || vers.find('\0') != std::string::npos) break;
                    v[i].Remplace(de.c_str(), vers.c_str());
                    Remplace(m[i], de, vers);
                    break;
                }
                case 8: v[i].Renverse(); m[i].assign(m[i].rbegin(), m[i].rend()); break;
                case 9: {
                    char c = static_cast<char>("ab \0"[in.octet() & 3]);
                    v[i].Trim(c);
                    size_t d = m[i].find_first_not_of(c);
                    m[i] = d == std::string::npos ? "" : m[i].substr(d, m[i].find_last_not_of(c) - d + 1);
                    break;
                }
                case 10: {
                    unsigned l = in.octet();
                    if (l < m[i].size()) {
                        v[i].SetUtilLength(l);
                        m[i].resize(l);
                    }
                    break;
                }
                case 11: {
                    // A source inside the value itself.
                    if (m[j].empty()) break;
                    unsigned d = in.octet() % m[j].size();
                    std::string t = m[j].substr(d);
                    if (v[j].nAssign(v[j].pszGet() + d, static_cast<unsigned>(t.size())) == QSD_OK) m[j] = t;
                    if (v[i].nConcat(v[i].pszGet(), v[i].nGetLength()) == QSD_OK) m[i] += m[i];
                    break;
                }
                case 12: {
                    std::string s = m[i], o = m[j];
                    if (v[i].nConcatSeparateur("/", &v[j]) != QSD_OK || o.empty()) break;
                    bool fin = !s.empty() && s.back() == '/', debut = o[0] == '/';
                    m[i] = fin && debut ? s + o.substr(1) : fin || debut ? s + o : s + "/" + o;
                    break;
                }
                case 13: {
                    std::string attendu = m[i] + m[j];
                    CQSDSTR t;
                    if (t.nConcatInit(&v[i], &v[j], in.octet() & 1) != QSD_OK) abort();
                    Verifie(t, attendu);
                    v[i] = t;
                    m[i] = attendu;
                    break;
                }
            }
            for (int k = 0; k < 4; ++k) Verifie(v[k], m[k]);
        }
    }
    CStrMemAlloc::s_pclCourant()->vSupprimeTout();
    GeneralParam(2006, nullptr);
    return 0;
}

// Hash table operation sequences against std::unordered_map, with a hash
// chosen by the input (from spread out to all keys in a few buckets) and any
// growth and shrink factors, zero and negative ones included.
#include <cstdint>
#include <cstdlib>
#include <unordered_map>

#include "containers/hashtable.h"

namespace {

void Verifie(bool b)
{
    if (!b)
        abort();
}

class CHashFuzz : public CHashBase {
public:
    CHashFuzz(int n, uint32_t dwMasque) : CHashBase(n), m_dwMasque(dwMasque) {}
    uint32_t dwCalculeHash(void *key) const override
    {
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(key) * 2654435761u) & m_dwMasque;
    }
    bool bCompareCle(void *storedKey, void *key) const override { return storedKey == key; }

private:
    uint32_t m_dwMasque;
};

void *P(uintptr_t n)
{
    return reinterpret_cast<void *>(n);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nData)
{
    if (nData < 4)
        return 0;
    static const uint32_t tabMasques[] = {0xFFFFFFFFu, 0x3u, 0x0u, 0xFF00u};
    CHashFuzz t(pData[0] % 8, tabMasques[pData[1] % 4]);
    t.SetNiveau(static_cast<int8_t>(pData[2]) % 5, static_cast<int8_t>(pData[3]) % 4);
    std::unordered_map<uintptr_t, uintptr_t> modele;
    for (size_t i = 4; i + 1 < nData; i += 2) {
        const uintptr_t k = pData[i + 1];
        void *v = nullptr, *c = nullptr;
        switch (pData[i] % 6) {
        case 0:
        case 1:
            if (!modele.count(k)) {
                Verifie(t.AjouteDYN(P(k), P(k + 1000)));
                modele[k] = k + 1000;
            }
            break;
        case 2:
            Verifie(t.bSupprimeDYN(P(k)) == (modele.erase(k) == 1));
            break;
        case 3:
            Verifie(t.bRecherche(P(k), &v, &c) == (modele.count(k) == 1));
            Verifie(!v || (reinterpret_cast<uintptr_t>(v) == k + 1000 && c == P(k)));
            break;
        case 4:
            Verifie(t.bRechercheConst(P(k), &v, nullptr) == (modele.count(k) == 1));
            break;
        default:
            t.RedimensionneTable(static_cast<int>(k) - 16);
            break;
        }
        Verifie(t.nGetNbElement() == static_cast<int>(modele.size()));
    }
    int nListe = 0;
    for (;;) {
        void *v = nullptr, *k = nullptr;
        t.SupprimeCourant(&nListe, &v, &k);
        if (!v)
            break;
        Verifie(modele.erase(reinterpret_cast<uintptr_t>(k)) == 1);
    }
    Verifie(modele.empty() && t.nGetNbElement() == 0);
    return 0;
}

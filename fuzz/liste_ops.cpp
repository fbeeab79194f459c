// Linked list operation sequences against std::list with an index cursor:
// contents, cursor and results must agree after every step.
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <list>

#include "containers/Liste.h"

namespace {

void Verifie(bool b)
{
    if (!b)
        abort();
}

int Valeur(const void *p)
{
    return *static_cast<const int *>(p);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nData)
{
    CListeDeBuffer l(sizeof(int));
    std::list<int> modele;
    int nIdx = -1;
    auto bCourant = [&] { return nIdx >= 0 && nIdx < static_cast<int>(modele.size()); };
    for (size_t i = 0; i + 1 < nData; i += 2) {
        const int nTaille = static_cast<int>(modele.size());
        const int nArg = pData[i + 1];
        switch (pData[i] % 9) {
        case 0:
        case 1: {
            const int bAvant = pData[i] & 0x10;
            Verifie(l.Ajoute(&nArg, bAvant));
            const int nPos = (nTaille == 0 || nIdx < 0) ? 0 : nIdx >= nTaille ? nTaille : bAvant ? nIdx : nIdx + 1;
            modele.insert(std::next(modele.begin(), nPos), nArg);
            nIdx = nPos;
            break;
        }
        case 2:
            l.VaSuivant();
            nIdx += bCourant() ? 1 : 0;
            break;
        case 3:
            l.VaPrecedent();
            nIdx -= bCourant() ? 1 : 0;
            break;
        case 4: {
            const bool b = bCourant() && nIdx + 1 < nTaille;
            Verifie((l.pVaSuivant() != nullptr) == b);
            nIdx += b ? 1 : 0;
            break;
        }
        case 5: {
            const bool b = bCourant() && nIdx > 0;
            Verifie((l.pVaPrecedent() != nullptr) == b);
            nIdx -= b ? 1 : 0;
            break;
        }
        case 6: {
            const int n = nArg - 2;
            const bool b = n >= 0 && n < nTaille;
            Verifie((l.pVaSurNumero(n) != nullptr) == b);
            nIdx = b ? n : nIdx;
            break;
        }
        case 7: {
            // Extract a run between two private cursors into a new list.
            CCurseurListe de(l), a(l);
            const int nDe = nArg % (nTaille + 1), nA = nDe + 1 + (pData[i] >> 4) % 4;
            if (!de.pVaSurNumero(nDe) || nA > nTaille)
                break;
            if (nA < nTaille)
                a.pVaSurNumero(nA);
            else {
                a.pVaSurNumero(nTaille - 1);
                a.VaSuivant(); // no current node: the run goes to the end
            }
            CListeDeBuffer extrait(sizeof(int));
            Verifie(extrait.ExtraitListe(l, de, a) == nA - nDe);
            auto itDe = std::next(modele.begin(), nDe), itA = std::next(modele.begin(), nA);
            std::list<int> attendu(itDe, itA);
            modele.erase(itDe, itA);
            int k = 0;
            for (auto it = attendu.begin(); it != attendu.end(); ++it, ++k)
                Verifie(Valeur(extrait.pVaSurNumero(k)) == *it);
            Verifie(extrait.nGetNombre() == static_cast<int>(attendu.size()));
            if (nIdx >= nDe && nIdx < nA)
                nIdx = modele.empty() ? -1 : nDe;
            else if (nIdx >= nA)
                nIdx -= nA - nDe;
            if (modele.empty())
                nIdx = -1;
            Verifie(de.nGetIndiceCourant() == (modele.empty() ? -1 : nDe));
            break;
        }
        default: {
            const int nAttendu = !bCourant() ? -1 : nIdx > 0 ? 0 : nTaille - 1;
            Verifie(l.SupprimeCourant() == nAttendu);
            if (bCourant()) {
                modele.erase(std::next(modele.begin(), nIdx));
                nIdx = nIdx > 0 ? nIdx - 1 : modele.empty() ? -1 : 0;
            }
            break;
        }
        }
        Verifie(l.nGetNombre() == static_cast<int>(modele.size()));
        Verifie(l.nGetIndiceCourant() == nIdx);
        Verifie((l.pCourant() != nullptr) == bCourant());
        if (bCourant())
            Verifie(Valeur(l.pCourant()) == *std::next(modele.begin(), nIdx));
    }
    auto it = modele.begin();
    for (CLinkedElement *p = l.pGetPremier(); p; p = p->pSuivant, ++it)
        Verifie(it != modele.end() && Valeur(CListeDeBuffer::pGetElem(p)) == *it);
    Verifie(it == modele.end());
    return 0;
}

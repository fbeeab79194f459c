#include <gtest/gtest.h>

#include <iterator>
#include <list>
#include <random>
#include <vector>

#include "containers/Liste.h"

namespace {

std::vector<int> Contenu(const CListeDeBuffer &l)
{
    std::vector<int> v;
    for (CLinkedElement *p = l.pGetPremier(); p; p = p->pSuivant)
        v.push_back(*static_cast<int *>(CListeDeBuffer::pGetElem(p)));
    // The backward links must tell the same story.
    std::vector<int> w;
    for (CLinkedElement *p = l.pGetDernier(); p; p = p->pPrecedent)
        w.insert(w.begin(), *static_cast<int *>(CListeDeBuffer::pGetElem(p)));
    EXPECT_EQ(v, w);
    EXPECT_EQ(static_cast<int>(v.size()), l.nGetNombre());
    return v;
}

int Courant(const CListeDeBuffer &l)
{
    const int *p = static_cast<const int *>(l.pCourant());
    return p ? *p : -999;
}

void Remplit(CListeDeBuffer &l, int n)
{
    for (int i = 0; i < n; ++i)
        l.Ajoute(&i, 0);
}

} // namespace

TEST(Liste, InsertionOrderAndCursorMoves)
{
    CListeDeBuffer avant(sizeof(int)), apres(sizeof(int));
    for (int i = 1; i <= 3; ++i) {
        avant.Ajoute(&i, 1);
        apres.Ajoute(&i, 0);
    }
    EXPECT_EQ(Contenu(avant), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(Courant(avant), 3);
    EXPECT_EQ(avant.nGetIndiceCourant(), 0);
    EXPECT_EQ(Contenu(apres), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(Courant(apres), 3);
    EXPECT_EQ(apres.nGetIndiceCourant(), 2);

    EXPECT_EQ(apres.pVaSuivant(), nullptr);
    EXPECT_EQ(Courant(apres), 3);
    apres.VaSuivant();
    EXPECT_EQ(apres.pCourant(), nullptr);
    // A node added while the cursor is off the end goes to that end.
    int x = 4;
    apres.Ajoute(&x, 1);
    EXPECT_EQ(Contenu(apres), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(apres.nGetIndiceCourant(), 3);

    // Removing the first node of three: the cursor goes to the new first.
    CListeDeBuffer l(sizeof(int));
    Remplit(l, 3);
    ASSERT_NE(l.pVaSurNumero(0), nullptr);
    EXPECT_EQ(l.SupprimeCourant(), 2);
    EXPECT_EQ(Courant(l), 1);
    EXPECT_EQ(l.nGetIndiceCourant(), 0);
    l.pVaSurNumero(1);
    EXPECT_EQ(l.SupprimeCourant(), 0);
    EXPECT_EQ(Courant(l), 1);
    EXPECT_EQ(l.SupprimeCourant(), 0);
    EXPECT_EQ(l.pCourant(), nullptr);
    EXPECT_EQ(l.nGetIndiceCourant(), -1);
    EXPECT_EQ(l.SupprimeCourant(), -1);
}

TEST(Liste, NumberedAccessWalksTheShortestWay)
{
    CListeDeBuffer l(sizeof(int));
    Remplit(l, 10);
    l.pVaSurNumero(1);
    // From 1 to 8: 7 steps from the cursor, 1 from the last node. Cut the
    // forward chain after the cursor's neighbour: only a backward walk from
    // the last node can still reach 8.
    CLinkedElement *pCoupe = l.pGetCourantNoeud()->pSuivant;
    CLinkedElement *pGarde = pCoupe->pSuivant;
    pCoupe->pSuivant = nullptr;
    const int *p = static_cast<const int *>(l.pVaSurNumero(8));
    pCoupe->pSuivant = pGarde;
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(*p, 8);
    EXPECT_EQ(l.pVaSurNumero(10), nullptr);
    EXPECT_EQ(l.pVaSurNumero(-1), nullptr);
    EXPECT_EQ(l.nGetIndiceCourant(), 8);
}

TEST(Liste, ExtractionMovesARunAndFixesEveryCursor)
{
    struct Cas {
        int nDe, nA, nSource; // cursor positions; -1 for "off the end"
        std::vector<int> extrait, reste;
        int nIndiceFin, nIndiceSource;
    } cas[] = {
        {2, 6, 4, {2, 3, 4, 5}, {0, 1, 6, 7, 8, 9}, 2, 2},
        {2, 6, 8, {2, 3, 4, 5}, {0, 1, 6, 7, 8, 9}, 2, 4},
        {2, 6, 0, {2, 3, 4, 5}, {0, 1, 6, 7, 8, 9}, 2, 0},
        {7, -1, 9, {7, 8, 9}, {0, 1, 2, 3, 4, 5, 6}, 7, 7},
        {0, -1, 3, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {}, -1, -1},
        {6, 2, 4, {}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 2, 4}, // wrong order: refused
        {3, 3, 4, {}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 3, 4}, // same node: nothing
    };
    for (const Cas &c : cas) {
        CListeDeBuffer source(sizeof(int)), cible(sizeof(int));
        Remplit(source, 10);
        CCurseurListe de(source), a(source);
        de.pVaSurNumero(c.nDe);
        if (c.nA < 0) {
            a.pVaSurNumero(9);
            a.VaSuivant();
        } else {
            a.pVaSurNumero(c.nA);
        }
        source.pVaSurNumero(c.nSource);
        const int n = cible.ExtraitListe(source, de, a);
        EXPECT_EQ(n, static_cast<int>(c.extrait.size()));
        EXPECT_EQ(Contenu(cible), c.extrait);
        EXPECT_EQ(Contenu(source), c.reste);
        EXPECT_EQ(source.nGetIndiceCourant(), c.nIndiceSource) << c.nDe << " " << c.nA;
        if (n > 0) {
            EXPECT_EQ(cible.nGetIndiceCourant(), 0);
            EXPECT_EQ(Courant(cible), c.extrait.front());
            EXPECT_EQ(de.nGetIndiceCourant(), c.nIndiceFin);
            EXPECT_EQ(a.nGetIndiceCourant(), c.nIndiceFin);
            EXPECT_EQ(de.pGetCourantNoeud(), a.pGetCourantNoeud());
            EXPECT_EQ(de.nGetNombre(), source.nGetNombre());
        }
    }
}

// Random operation sequences against std::list with an index as cursor.
TEST(Liste, MatchesAStandardListModel)
{
    std::mt19937 alea(12);
    for (int nTour = 0; nTour < 40; ++nTour) {
        CListeDeBuffer l(sizeof(int));
        std::list<int> modele;
        int nIdx = -1; // model cursor: current when 0 <= nIdx < size
        auto bCourant = [&] { return nIdx >= 0 && nIdx < static_cast<int>(modele.size()); };
        for (int nOp = 0; nOp < 400; ++nOp) {
            const int nTaille = static_cast<int>(modele.size());
            int x = static_cast<int>(alea() % 1000);
            switch (alea() % 8) {
            case 0:
            case 1: {
                const int bAvant = static_cast<int>(alea() % 2);
                ASSERT_TRUE(l.Ajoute(&x, bAvant));
                int nPos;
                if (nTaille == 0 || nIdx < 0)
                    nPos = 0;
                else if (nIdx >= nTaille)
                    nPos = nTaille;
                else
                    nPos = bAvant ? nIdx : nIdx + 1;
                modele.insert(std::next(modele.begin(), nPos), x);
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
                const bool bPeut = bCourant() && nIdx + 1 < nTaille;
                EXPECT_EQ(l.pVaSuivant() != nullptr, bPeut);
                nIdx += bPeut ? 1 : 0;
                break;
            }
            case 5: {
                const bool bPeut = bCourant() && nIdx > 0;
                EXPECT_EQ(l.pVaPrecedent() != nullptr, bPeut);
                nIdx -= bPeut ? 1 : 0;
                break;
            }
            case 6: {
                const int n = static_cast<int>(alea() % (nTaille + 2)) - 1;
                const bool bDans = n >= 0 && n < nTaille;
                EXPECT_EQ(l.pVaSurNumero(n) != nullptr, bDans);
                if (bDans)
                    nIdx = n;
                break;
            }
            default: {
                const int nAttendu = !bCourant() ? -1 : nIdx > 0 ? 0 : nTaille - 1;
                EXPECT_EQ(l.SupprimeCourant(), nAttendu);
                if (bCourant()) {
                    modele.erase(std::next(modele.begin(), nIdx));
                    if (nIdx > 0)
                        --nIdx;
                    else if (modele.empty())
                        nIdx = -1;
                }
                break;
            }
            }
            ASSERT_EQ(l.nGetIndiceCourant(), nIdx);
            ASSERT_EQ(l.pCourant() != nullptr, bCourant());
            if (bCourant()) {
                ASSERT_EQ(Courant(l), *std::next(modele.begin(), nIdx));
            }
        }
        EXPECT_EQ(Contenu(l), std::vector<int>(modele.begin(), modele.end()));
    }
}

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <random>
#include <string>
#include <unordered_map>

#include "containers/hashtable.h"

namespace {

void *P(uintptr_t n)
{
    return reinterpret_cast<void *>(n);
}

uintptr_t N(void *p)
{
    return reinterpret_cast<uintptr_t>(p);
}

// Integer keys carried in the key pointer.
class CHashEntier : public CHashBase {
public:
    explicit CHashEntier(int n) : CHashBase(n) {}
    uint32_t dwCalculeHash(void *key) const override { return static_cast<uint32_t>(N(key)); }
    bool bCompareCle(void *storedKey, void *key) const override { return storedKey == key; }
};

} // namespace

TEST(HashTable, GrowsAndShrinksToPrimeBucketCounts)
{
    CHashEntier t(7);
    for (uintptr_t i = 0; i < 21; ++i)
        ASSERT_TRUE(t.AjouteDYN(P(i), P(i + 100)));
    EXPECT_EQ(t.nGetNbListe(), 7);
    t.AjouteDYN(P(21), P(121)); // finds 21 entries: grows
    EXPECT_EQ(t.nGetNbListe(), 17);
    for (uintptr_t i = 0; i < 22; ++i) {
        void *v = nullptr;
        ASSERT_TRUE(t.bRecherche(P(i), &v, nullptr));
        EXPECT_EQ(N(v), i + 100);
    }

    struct { int nListes, nApres; } cas[] = {{101, 53}, {61, 43}, {7, 7}};
    for (auto c : cas) {
        CHashEntier r(c.nListes);
        for (int i = 0; i < c.nListes; ++i)
            r.Ajoute(P(i), P(i));
        EXPECT_TRUE(r.bSupprimeDYN(P(0)));
        // The floor of 43 never makes a small table grow.
        EXPECT_EQ(r.nGetNbListe(), c.nApres);
        EXPECT_EQ(r.nGetNbElement(), c.nListes - 1);
        EXPECT_FALSE(r.bSupprimeDYN(P(0)));
    }

    // No bucket at first: the first AjouteDYN makes one.
    CHashEntier vide(0);
    EXPECT_FALSE(vide.Ajoute(P(1), P(1)));
    EXPECT_FALSE(vide.bRecherche(P(1), nullptr, nullptr));
    EXPECT_TRUE(vide.AjouteDYN(P(1), P(2)));
    EXPECT_EQ(vide.nGetNbListe(), 1);

    // A growth factor of 0 grows like 1, not on every insertion.
    CHashEntier zero(1);
    zero.SetNiveau(0, 0);
    for (uintptr_t i = 0; i < 1000; ++i)
        zero.AjouteDYN(P(i), P(i));
    EXPECT_GE(zero.nGetNbListe(), 1000);
    EXPECT_LE(zero.nGetNbListe(), 2100);
}

TEST(HashTable, DuplicatesSearchesAndDraining)
{
    CHashEntier t(5);
    t.Ajoute(P(3), P(30));
    t.Ajoute(P(3), P(31));
    t.Ajoute(P(8), P(80)); // same bucket as 3
    EXPECT_EQ(t.nGetNbElement(), 3);
    void *v = nullptr, *k = nullptr;
    ASSERT_TRUE(t.bRecherche(P(3), &v, &k));
    EXPECT_EQ(N(v), 31u); // the one nearer the front
    EXPECT_EQ(N(k), 3u);
    const CListeDeBuffer *pListe = t.pGetListe(3);
    const int nIndice = pListe->nGetIndiceCourant();
    ASSERT_TRUE(t.bRechercheConst(P(3), &v, nullptr));
    EXPECT_FALSE(t.bRechercheConst(P(13), &v, nullptr));
    EXPECT_EQ(pListe->nGetIndiceCourant(), nIndice);
    EXPECT_FALSE(t.bRecherche(P(13), &v, nullptr));
    EXPECT_EQ(pListe->nGetIndiceCourant(), pListe->nGetNombre() - 1);

    EXPECT_TRUE(t.bSupprime(P(3)));
    ASSERT_TRUE(t.bRecherche(P(3), &v, nullptr));
    EXPECT_EQ(N(v), 30u);

    int nListe = 0;
    int nVus = 0;
    for (;;) {
        t.SupprimeCourant(&nListe, &v, &k);
        if (!v)
            break;
        ++nVus;
    }
    EXPECT_EQ(nVus, 2);
    EXPECT_EQ(t.nGetNbElement(), 0);
}

TEST(HashTable, StringHashesIgnoreTheLocale)
{
    EXPECT_EQ(CHashBase::dwHashValT(nullptr), 0u);
    EXPECT_EQ(CHashBase::dwHashValT(""), 0u);
    EXPECT_EQ(CHashBase::dwHashValTi("abc"), 198u);
    EXPECT_EQ(CHashBase::dwHashValTi("ABC"), 198u);
    EXPECT_EQ(CHashBase::dwHashValT("abc"), 294u);
    // Bytes from 0x80 count negative, in 32-bit wrap-around.
    EXPECT_EQ(CHashBase::dwHashValT("\xE9") & 0xFFFFFFFFul, 0xFFFFFFE9ul);
    EXPECT_EQ(CHashBase::dwHashValT("\xE9" "A") & 0xFFFFFFFFul, 0x2Aul);
    const unsigned long dwAvant = CHashBase::dwHashValTi("d\xE9j\xE0 vu");
    // A locale that upper-cases accented letters must not move stored keys.
    const char *tabLocales[] = {"fr_FR.ISO-8859-1", "fr_FR", "en_US.ISO-8859-1", "de_DE", "C.UTF-8"};
    const std::string sAvant = setlocale(LC_CTYPE, nullptr);
    for (const char *psz : tabLocales) {
        if (setlocale(LC_CTYPE, psz)) {
            EXPECT_EQ(CHashBase::dwHashValTi("d\xE9j\xE0 vu"), dwAvant) << psz;
            EXPECT_EQ(CHashBase::dwHashValTi("D\xE9J\xE0 VU"), dwAvant) << psz;
        }
    }
    setlocale(LC_CTYPE, sAvant.c_str());
}

// Random operation sequences against std::unordered_map.
TEST(HashTable, MatchesAStandardMapModel)
{
    std::mt19937 alea(7);
    for (int nTour = 0; nTour < 10; ++nTour) {
        CHashEntier t(static_cast<int>(alea() % 5));
        t.SetNiveau(static_cast<int>(alea() % 4), static_cast<int>(alea() % 3));
        std::unordered_map<uintptr_t, uintptr_t> modele;
        for (int nOp = 0; nOp < 3000; ++nOp) {
            const uintptr_t k = alea() % 500;
            void *v = nullptr;
            switch (alea() % 6) {
            case 0:
            case 1:
                if (!modele.count(k)) {
                    ASSERT_TRUE(t.AjouteDYN(P(k), P(k * 3 + 1)));
                    modele[k] = k * 3 + 1;
                }
                break;
            case 2:
                EXPECT_EQ(t.bSupprimeDYN(P(k)), modele.erase(k) == 1);
                break;
            case 3:
                ASSERT_EQ(t.bRecherche(P(k), &v, nullptr), modele.count(k) == 1);
                if (v) {
                    EXPECT_EQ(N(v), modele[k]);
                }
                break;
            case 4:
                ASSERT_EQ(t.bRechercheConst(P(k), &v, nullptr), modele.count(k) == 1);
                break;
            default:
                if (alea() % 20 == 0)
                    t.RedimensionneTable(static_cast<int>(alea() % 300) - 10);
                break;
            }
            ASSERT_EQ(t.nGetNbElement(), static_cast<int>(modele.size()));
        }
        for (const auto &e : modele) {
            void *v = nullptr;
            ASSERT_TRUE(t.bRechercheConst(P(e.first), &v, nullptr));
            EXPECT_EQ(N(v), e.second);
        }
        // Draining gives every pair back exactly once.
        int nListe = 0;
        for (;;) {
            void *v = nullptr, *k = nullptr;
            t.SupprimeCourant(&nListe, &v, &k);
            if (!v)
                break;
            ASSERT_EQ(modele.erase(N(k)), 1u);
        }
        EXPECT_TRUE(modele.empty());
    }
}

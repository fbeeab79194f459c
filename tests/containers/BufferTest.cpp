#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "containers/SimpleBuffer.h"
#include "containers/Tableau.h"

namespace {

std::string Contents(const CTTableau<int> &t)
{
    std::string s;
    for (int i = 0; i < t.nGetNombre(); ++i)
        s += std::to_string(t[i]) + ",";
    return s;
}

void Fill(CTTableau<int> &t, int count)
{
    for (int i = 0; i < count; ++i)
        t.Ajoute(&i);
}

} // namespace

TEST(SimpleBuffer, SizeRulesAndCopies)
{
    CSimpleBuffer b(4);
    ASSERT_NE(b.pGetBuffer(), nullptr);
    memcpy(b.pGetBuffer(), "abcd", 4);
    b.SetSize(4); // same size: content kept
    EXPECT_EQ(0, memcmp(b.pGetBuffer(), "abcd", 4));
    b.SetSize(0);
    EXPECT_EQ(b.pGetBuffer(), nullptr);
    EXPECT_EQ(b.dwGetSize(), 0u);

    CSimpleBuffer c("hello", 5);
    CSimpleBuffer d(c);
    ASSERT_EQ(d.dwGetSize(), 5u);
    EXPECT_NE(d.pGetBuffer(), c.pGetBuffer());
    EXPECT_EQ(0, memcmp(d.pGetBuffer(), "hello", 5));
    // Same size assignment must take the other's content, not keep ours.
    CSimpleBuffer e("world", 5);
    e = c;
    EXPECT_EQ(0, memcmp(e.pGetBuffer(), "hello", 5));
    CSimpleBuffer &same = e;
    e = same;
    EXPECT_EQ(0, memcmp(e.pGetBuffer(), "hello", 5));
}

TEST(Tableau, LinearGrowthAndRoomMaking)
{
    CTTableau<int> t(10, 30);
    Fill(t, 10);
    EXPECT_EQ(t.nGetCapacite(), 10);
    int x = 10;
    t.Ajoute(&x);
    EXPECT_EQ(t.nGetCapacite(), 20);
    EXPECT_EQ(t.nGetNombre(), 11);

    CTTableau<int> u(4, 30);
    EXPECT_EQ(u.AlloueMemoire(10), 10); // exactly the missing elements
    EXPECT_EQ(u.nGetCapacite(), 10);
    Fill(u, 9);
    EXPECT_EQ(u.AlloueMemoire(5), 5); // already large enough
    EXPECT_EQ(u.nGetCapacite(), 10);
    u.AgranditMemoire(3);
    EXPECT_EQ(u.nGetCapacite(), 14);
    EXPECT_EQ(Contents(u), "0,1,2,3,4,5,6,7,8,");

    // A zero growth step still makes room instead of writing past the block.
    CTTableau<int> z(0, 30);
    Fill(z, 3);
    EXPECT_EQ(Contents(z), "0,1,2,");
}

TEST(Tableau, EtendInsertRemove)
{
    CTTableau<int> t(3, 30);
    int x = 7, f = -1;
    t.Etend(5, &x, &f);
    EXPECT_EQ(Contents(t), "-1,-1,-1,-1,-1,7,");
    EXPECT_EQ(t.nGetCapacite(), 8); // 5 + step - 0
    int y = 9;
    t.Etend(6, &y, &f); // appends
    t.Etend(0, &y, &f); // overwrites
    EXPECT_EQ(Contents(t), "9,-1,-1,-1,-1,7,9,");

    int z = 42;
    t.Insere(&z, 1);
    EXPECT_EQ(Contents(t), "9,42,-1,-1,-1,-1,7,9,");
    t.Supprime(2, 3);
    EXPECT_EQ(Contents(t), "9,42,-1,7,9,");
    t.Supprime(1, 0);
    t.Supprime(3, 99); // clipped to the tail
    EXPECT_EQ(Contents(t), "9,42,-1,");
    t.Insere(&z, 99); // out of range: ignored
    t.SupprimeDernier(2);
    EXPECT_EQ(Contents(t), "9,");
}

TEST(Tableau, CompactionThreshold)
{
    CTTableau<int> t(40, 30);
    Fill(t, 40);
    t.SupprimeDernier(9); // 31 used, 9 free
    t.SupprimeCompacte(0); // 30 used, 10 free: no compaction
    EXPECT_EQ(t.nGetCapacite(), 40);
    CTTableau<int> u(40, 30);
    Fill(u, 10);
    u.SupprimeCompacte(0); // 9 used, 31 free: compacts
    EXPECT_EQ(u.nGetCapacite(), 9);
    EXPECT_EQ(Contents(u), "1,2,3,4,5,6,7,8,9,");

    CTTableau<int> e(5, 30);
    Fill(e, 1);
    e.SupprimeDernier(1);
    EXPECT_EQ(e.Compacter(), 0);
    EXPECT_EQ(e.m_pItems, nullptr);
}

TEST(Tableau, MovesAndPermutation)
{
    CTTableau<int> t(4, 30);
    Fill(t, 6);
    t.Deplace(1, 4);
    EXPECT_EQ(Contents(t), "0,2,3,4,1,5,");
    t.Deplace(4, 0);
    EXPECT_EQ(Contents(t), "1,0,2,3,4,5,");
    t.Swap(0, 5);
    EXPECT_EQ(Contents(t), "5,0,2,3,4,1,");

    CTTableau<int> p(4, 30);
    Fill(p, 8);
    // Keep 2, then runs [5,6] and [2..4] (the latter given as two adjacent
    // runs), the tail 7 stays.
    _STBlocATrier blocks[] = {{5, 2}, {2, 2}, {4, 1}};
    p.PermuteMultiple(2, blocks, 3);
    EXPECT_EQ(Contents(p), "0,1,5,6,2,3,4,7,");
    _STBlocATrier bad[] = {{6, 5}};
    p.PermuteMultiple(0, bad, 1); // runs past the end: untouched
    EXPECT_EQ(Contents(p), "0,1,5,6,2,3,4,7,");
}

TEST(Tableau, PointerSearchAndTransfers)
{
    static const char *names[] = {"a", "b", "c"};
    CTTableau<const char *> t;
    for (const char *n : names)
        t.Ajoute(&n);
    auto crit = [](int key, const void *e) { return static_cast<const char *>(e)[0] == key ? 0 : 1; };
    EXPECT_EQ(t.nRechercheLineaireCriterePointeur('b', crit), 1);
    EXPECT_EQ(t.pRechercheLineaireCriterePointeur('c', crit), names[2]);
    EXPECT_EQ(t.nRechercheLineaireCriterePointeur('z', crit), -1);
    EXPECT_EQ(t.pRechercheLineaireCriterePointeur('z', crit), nullptr);

    CTTableau<int> a(2, 5), b(7, 9);
    Fill(a, 3);
    b.Initialise(4, 2);
    EXPECT_EQ(Contents(b), "4,4,");
    CTableauDeBuffer::EchangeTableau(&a, &b);
    EXPECT_EQ(Contents(a), "4,4,");
    EXPECT_EQ(a.m_nPas, 7);
    EXPECT_EQ(Contents(b), "0,1,2,");
    a._RecupereDonnees(&b);
    EXPECT_EQ(Contents(a), "0,1,2,");
    EXPECT_EQ(a.m_nPas, 7);
    EXPECT_EQ(b.nGetNombre(), 0);
    EXPECT_EQ(b.m_pItems, nullptr);
    CTTableau<int> c(3, 3);
    c.Recupere(&a);
    EXPECT_EQ(c.m_nPas, 7);
    EXPECT_EQ(Contents(c), "0,1,2,");
    CTTableau<int> d(c);
    c.SupprimeToutEtLibere();
    EXPECT_EQ(Contents(d), "0,1,2,");
}
